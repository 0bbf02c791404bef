#include "platform/wayland/sway_ipc.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "platform/errors.h"

namespace fk {

namespace {

constexpr char kMagic[] = {'i', '3', '-', 'i', 'p', 'c'};
constexpr size_t kHeader = sizeof kMagic + 8;
constexpr uint32_t kEventBit = 0x80000000u;

QJsonObject parse(const std::string& text) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
}

ScreenRect rectOf(const QJsonValue& value) {
    const QJsonObject r = value.toObject();
    return {r["x"].toInt(), r["y"].toInt(), r["width"].toInt(), r["height"].toInt()};
}

ScreenRect unite(const ScreenRect& a, const ScreenRect& b) {
    const int left = std::min(a.x, b.x), top = std::min(a.y, b.y);
    const int right = std::max(a.x + a.width, b.x + b.width);
    const int bottom = std::max(a.y + a.height, b.y + b.height);
    return {left, top, right - left, bottom - top};
}

// Walks every window node (tiled and floating) below `node`, with its parent.
template <typename Visit>
bool walk(const QJsonObject& node, const QJsonObject& parent, const Visit& visit) {
    if (visit(node, parent))
        return true;
    for (const char* key : {"nodes", "floating_nodes"})
        for (const QJsonValue& child : node[key].toArray())
            if (walk(child.toObject(), node, visit))
                return true;
    return false;
}

bool isWindow(const QJsonObject& node) {
    const QString type = node["type"].toString();
    return (type == "con" || type == "floating_con") && node["nodes"].toArray().isEmpty() &&
           node["floating_nodes"].toArray().isEmpty();
}

}  // namespace

SwayIpc::SwayIpc(const std::string& socketPath) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof address.sun_path)
        throw EGrabError("The compositor's IPC socket path is too long");
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    m_fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0 || connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address)) {
        const std::string reason = std::strerror(errno);
        if (m_fd >= 0)
            close(m_fd);
        throw EGrabError("Cannot connect to the compositor's IPC socket \"" + socketPath +
                         "\": " + reason);
    }
}

SwayIpc::~SwayIpc() {
    close(m_fd);
}

std::optional<std::string> SwayIpc::sessionSocket() {
    const char* path = std::getenv("SWAYSOCK");
    if (!path || !*path)
        return std::nullopt;
    return std::string(path);
}

void SwayIpc::send(uint32_t type, const std::string& payload) {
    std::string message(kMagic, sizeof kMagic);
    const uint32_t header[2] = {uint32_t(payload.size()), type};
    message.append(reinterpret_cast<const char*>(header), sizeof header);
    message += payload;
    for (size_t sent = 0; sent < message.size();) {
        const ssize_t n = ::send(m_fd, message.data() + sent, message.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw EGrabError("The compositor's IPC socket has closed");
        sent += size_t(n);
    }
}

void SwayIpc::readExactly(char* into, size_t size, int timeoutMs) {
    for (size_t got = 0; got < size;) {
        pollfd fd{m_fd, POLLIN, 0};
        const int ready = poll(&fd, 1, timeoutMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0)
            throw EGrabError("The compositor's IPC did not answer in time");
        const ssize_t n = ready > 0 ? ::recv(m_fd, into + got, size - got, 0) : -1;
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw EGrabError("The compositor's IPC socket has closed");
        got += size_t(n);
    }
}

bool SwayIpc::receive(uint32_t& type, std::string& payload, int timeoutMs) {
    pollfd fd{m_fd, POLLIN, 0};
    if (poll(&fd, 1, timeoutMs) == 0)
        return false;
    char header[kHeader];
    readExactly(header, kHeader, kTimeoutMs);
    if (std::memcmp(header, kMagic, sizeof kMagic) != 0)
        throw EGrabError("The compositor's IPC answers in an unknown format");
    uint32_t fields[2];
    std::memcpy(fields, header + sizeof kMagic, sizeof fields);
    type = fields[1];
    payload.assign(fields[0], '\0');
    readExactly(payload.data(), payload.size(), kTimeoutMs);
    return true;
}

std::string SwayIpc::request(uint32_t type, const std::string& payload) {
    send(type, payload);
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kTimeoutMs);
    uint32_t answerType = 0;
    std::string answer;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || !receive(answerType, answer, int(left.count())))
            throw EGrabError("The compositor's IPC did not answer in time");
        if (!(answerType & kEventBit))
            return answer;
    }
}

bool SwayIpc::waitForEvent(int timeoutMs) {
    uint32_t type = 0;
    std::string payload;
    return receive(type, payload, timeoutMs) && (type & kEventBit);
}

namespace {

template <typename Match>
std::optional<SwayWindow> findWindow(const std::string& tree, const Match& match) {
    std::optional<SwayWindow> found;
    walk(parse(tree), {}, [&](const QJsonObject& node, const QJsonObject& parent) {
        if (!isWindow(node) || !match(node))
            return false;
        ScreenRect rect = rectOf(node["rect"]);
        // Title bars of tabbed and stacked containers lie outside the window's own rectangle;
        // they are given relative to the parent.
        ScreenRect deco = rectOf(node["deco_rect"]);
        if (deco.width > 0 && deco.height > 0 && node["type"].toString() == "con") {
            const ScreenRect origin = rectOf(parent["rect"]);
            deco.x += origin.x;
            deco.y += origin.y;
            rect = unite(rect, deco);
        }
        found = SwayWindow{node["id"].toInteger(), rect};
        return true;
    });
    return found;
}

}  // namespace

std::optional<SwayWindow> focusedWindow(const std::string& tree) {
    return findWindow(tree, [](const QJsonObject& node) { return node["focused"].toBool(); });
}

std::optional<SwayWindow> windowById(const std::string& tree, int64_t id) {
    return findWindow(tree, [id](const QJsonObject& node) { return node["id"].toInteger() == id; });
}

bool processShowsWindow(const std::string& tree, int64_t pid) {
    return walk(parse(tree), {}, [pid](const QJsonObject& node, const QJsonObject&) {
        return isWindow(node) && node["pid"].toInteger(-1) == pid && node["visible"].toBool();
    });
}

bool configMentions(const std::string& config, const std::string& text) {
    return parse(config)["config"].toString().contains(QString::fromStdString(text));
}

}  // namespace fk
