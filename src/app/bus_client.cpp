#include "app/bus_client.h"

#include <dbus/dbus.h>

#include <cstring>
#include <memory>

namespace fk {

namespace {

struct BusError {
    DBusError e;
    BusError() { dbus_error_init(&e); }
    ~BusError() { dbus_error_free(&e); }
    bool is(const char* name) const { return dbus_error_has_name(&e, name); }
};

struct ConnectionCloser {
    void operator()(DBusConnection* c) const {
        dbus_connection_close(c);
        dbus_connection_unref(c);
    }
};
struct MessageUnref {
    void operator()(DBusMessage* m) const { dbus_message_unref(m); }
};
using Message = std::unique_ptr<DBusMessage, MessageUnref>;

const char* methodName(Command command) {
    switch (command) {
        case Command::Screen:
            return "Screen";
        case Command::Window:
            return "Window";
        case Command::Region:
            return "Region";
        default:
            return "";
    }
}

// Both methods' arguments: none for a plain command, the options for Shoot.
bool appendShot(DBusMessage* m, const CommandLine& line) {
    const ShotOptions& s = line.shot;
    const char* command = methodName(line.command);
    const char* region = s.region.c_str();
    const dbus_bool_t all = s.allMonitors, clipboard = s.clipboard;
    const char* output = s.output.c_str();
    std::string formatText;
    if (s.format != PictureFormat::NotSelected)
        formatText = formatWord(s.format);
    const char* format = formatText.c_str();
    const dbus_int32_t delay = s.delaySeconds;
    return dbus_message_append_args(m, DBUS_TYPE_STRING, &command, DBUS_TYPE_STRING, &region,
                                    DBUS_TYPE_BOOLEAN, &all, DBUS_TYPE_BOOLEAN, &clipboard,
                                    DBUS_TYPE_STRING, &output, DBUS_TYPE_STRING, &format,
                                    DBUS_TYPE_INT32, &delay, DBUS_TYPE_INVALID);
}

// The answer's text, and the picture's bytes where the reply carries them.
RemoteResult doneWith(DBusMessage* reply) {
    RemoteResult result{RemoteResult::Kind::Done, {}, {}};
    DBusMessageIter it;
    if (!dbus_message_iter_init(reply, &it))
        return result;
    if (dbus_message_iter_get_arg_type(&it) == DBUS_TYPE_STRING) {
        const char* text = nullptr;
        dbus_message_iter_get_basic(&it, &text);
        result.text = text;
        dbus_message_iter_next(&it);
    }
    if (dbus_message_iter_get_arg_type(&it) == DBUS_TYPE_ARRAY &&
        dbus_message_iter_get_element_type(&it) == DBUS_TYPE_BYTE) {
        DBusMessageIter bytes;
        dbus_message_iter_recurse(&it, &bytes);
        const uint8_t* data = nullptr;
        int n = 0;
        dbus_message_iter_get_fixed_array(&bytes, &data, &n);
        result.bytes.assign(data, data + n);
    }
    return result;
}

}  // namespace

namespace {

void appendStringHint(DBusMessageIter* hints, const char* key, const std::string& value) {
    DBusMessageIter entry, variant;
    const char* text = value.c_str();
    dbus_message_iter_open_container(hints, DBUS_TYPE_DICT_ENTRY, nullptr, &entry);
    dbus_message_iter_append_basic(&entry, DBUS_TYPE_STRING, &key);
    dbus_message_iter_open_container(&entry, DBUS_TYPE_VARIANT, "s", &variant);
    dbus_message_iter_append_basic(&variant, DBUS_TYPE_STRING, &text);
    dbus_message_iter_close_container(&entry, &variant);
    dbus_message_iter_close_container(hints, &entry);
}

}  // namespace

bool notifyOnce(const std::string& summary, const std::string& body, const std::string& file) {
    BusError error;
    std::unique_ptr<DBusConnection, ConnectionCloser> bus(
        dbus_bus_get_private(DBUS_BUS_SESSION, &error.e));
    if (!bus)
        return false;
    dbus_connection_set_exit_on_disconnect(bus.get(), false);
    Message call(dbus_message_new_method_call("org.freedesktop.Notifications",
                                              "/org/freedesktop/Notifications",
                                              "org.freedesktop.Notifications", "Notify"));
    if (!call)
        return false;
    dbus_message_set_no_reply(call.get(), true);
    const char* app = "Fotokran";
    const char* icon = "org.fotokran.Fotokran";
    const char* summaryText = summary.c_str();
    const char* bodyText = body.c_str();
    const dbus_uint32_t replaces = 0;
    const dbus_int32_t timeout = -1;
    DBusMessageIter it, actions, hints;
    dbus_message_iter_init_append(call.get(), &it);
    dbus_message_iter_append_basic(&it, DBUS_TYPE_STRING, &app);
    dbus_message_iter_append_basic(&it, DBUS_TYPE_UINT32, &replaces);
    dbus_message_iter_append_basic(&it, DBUS_TYPE_STRING, &icon);
    dbus_message_iter_append_basic(&it, DBUS_TYPE_STRING, &summaryText);
    dbus_message_iter_append_basic(&it, DBUS_TYPE_STRING, &bodyText);
    dbus_message_iter_open_container(&it, DBUS_TYPE_ARRAY, "s", &actions);
    dbus_message_iter_close_container(&it, &actions);
    dbus_message_iter_open_container(&it, DBUS_TYPE_ARRAY, "{sv}", &hints);
    appendStringHint(&hints, "desktop-entry", "org.fotokran.Fotokran");
    if (!file.empty())
        appendStringHint(&hints, "image-path", file);
    dbus_message_iter_close_container(&it, &hints);
    dbus_message_iter_append_basic(&it, DBUS_TYPE_INT32, &timeout);
    const bool sent = dbus_connection_send(bus.get(), call.get(), nullptr);
    dbus_connection_flush(bus.get());
    return sent;
}

RemoteResult callRunningCopy(const CommandLine& line, int timeoutMs) {
    BusError error;
    std::unique_ptr<DBusConnection, ConnectionCloser> bus(
        dbus_bus_get_private(DBUS_BUS_SESSION, &error.e));
    if (!bus)
        return {RemoteResult::Kind::NoBus,
                dbus_error_is_set(&error.e) ? error.e.message : "no session bus", {}};
    dbus_connection_set_exit_on_disconnect(bus.get(), false);
    // A region, or a picture with options, goes through Shoot; the rest by their own names.
    const bool shot = line.command == Command::Region || line.shot.any();
    Message call(dbus_message_new_method_call(
        kBusService, kBusPath, kBusInterface, shot ? "Shoot" : remoteMethod(line.command)));
    if (!call || (shot && !appendShot(call.get(), line)))
        return {RemoteResult::Kind::Failed, "out of memory", {}};
    // Only a running copy answers: the bus must not start one.
    dbus_message_set_auto_start(call.get(), false);
    Message reply(dbus_connection_send_with_reply_and_block(bus.get(), call.get(), timeoutMs,
                                                            &error.e));
    if (reply)
        return doneWith(reply.get());
    if (error.is(DBUS_ERROR_SERVICE_UNKNOWN) || error.is(DBUS_ERROR_NAME_HAS_NO_OWNER))
        return {RemoteResult::Kind::NotRunning, {}, {}};
    if (error.is(DBUS_ERROR_NO_REPLY) || error.is(DBUS_ERROR_TIMEOUT))
        return {RemoteResult::Kind::Failed,
                "the running Fotokran did not answer within " + std::to_string(timeoutMs / 1000) +
                    " s (it may be busy writing a video)",
                {}};
    return {RemoteResult::Kind::Failed, error.e.message ? error.e.message : "the call failed", {}};
}

}  // namespace fk
