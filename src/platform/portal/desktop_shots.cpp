#include "platform/portal/desktop_shots.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusUnixFileDescriptor>
#include <QFile>
#include <QUrl>

#include <future>
#include <vector>

#include "platform/portal/portal_request.h"

namespace fk {

namespace {

const char* const kKWin = "org.kde.KWin";
const char* const kShot2Path = "/org/kde/KWin/ScreenShot2";
const char* const kShot2 = "org.kde.KWin.ScreenShot2";
constexpr int kKWinTimeoutMs = 15 * 1000;
constexpr size_t kMaxPicture = size_t(1) << 30;

class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    void reset() {
        if (m_fd >= 0)
            close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

// Everything written into the pipe until its last writer closes it, or until the time is up.
std::vector<uint8_t> readToEnd(int fd, int timeoutMs) {
    std::vector<uint8_t> data;
    uint8_t chunk[1 << 16];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) <= 0)
            return data;
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || data.size() + size_t(n) > kMaxPicture)
            return data;
        data.insert(data.end(), chunk, chunk + n);
    }
}

}  // namespace

std::optional<QImage> portalScreenshot(ScreenshotPick pick, int timeoutMs) {
    const PortalAnswer a =
        PortalRequest::wait("org.freedesktop.portal.Screenshot", "Screenshot", {QString()},
                            {{"interactive", pick == ScreenshotPick::ByUser}}, timeoutMs);
    if (a.kind == PortalAnswer::Kind::Cancelled && pick == ScreenshotPick::ByUser)
        return std::nullopt;
    if (!a.granted())
        throw EGrabError(("The desktop did not take the screenshot" +
                          (a.detail.isEmpty() ? QString() : ": " + a.detail))
                             .toStdString());
    const QString path = QUrl(a.results.value("uri").toString()).toLocalFile();
    QImage image(path);
    // Only the file the desktop wrote for this request goes.
    if (!path.isEmpty())
        QFile::remove(path);
    if (image.isNull())
        throw EGrabError("The desktop's screenshot could not be read: " + path.toStdString());
    return image;
}

bool kwinScreenshotOffered() {
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    return bus && bus->isServiceRegistered(kKWin);
}

QImage kwinScreenshot(KWinShot what, CursorInShot cursor) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        throw EGrabError("No pipe for KWin's screenshot");
    const Fd readEnd(ends[0]);
    Fd writeEnd(ends[1]);
    std::future<std::vector<uint8_t>> data =
        std::async(std::launch::async, readToEnd, readEnd.get(), kKWinTimeoutMs);
    QDBusMessage reply;
    {
        QDBusMessage call = QDBusMessage::createMethodCall(
            kKWin, kShot2Path, kShot2,
            what == KWinShot::Workspace ? "CaptureWorkspace" : "CaptureActiveWindow");
        const QVariantMap options{{"include-cursor", cursor == CursorInShot::Drawn},
                                  {"include-decoration", true},
                                  {"include-shadow", false},
                                  {"native-resolution", true}};
        call << options << QVariant::fromValue(QDBusUnixFileDescriptor(writeEnd.get()));
        writeEnd.reset();
        reply = QDBusConnection::sessionBus().call(call, QDBus::Block, kKWinTimeoutMs);
    }  // our last copy of the write end goes here: KWin's closing it ends the picture
    const std::vector<uint8_t> bytes = data.get();
    if (reply.type() == QDBusMessage::ErrorMessage) {
        if (reply.errorName().endsWith(".NoAuthorized"))
            throw EKWinNotGranted("KWin does not grant Fotokran its screenshots");
        throw EGrabError("KWin took no screenshot: " + reply.errorMessage().toStdString());
    }
    const QVariant first = reply.arguments().value(0);
    const QVariantMap meta = first.canConvert<QDBusArgument>()
                                 ? qdbus_cast<QVariantMap>(first.value<QDBusArgument>())
                                 : first.toMap();
    const int width = meta.value("width").toInt(), height = meta.value("height").toInt();
    const qsizetype stride = meta.value("stride").toLongLong();
    const auto format = QImage::Format(meta.value("format").toInt());
    if (width <= 0 || height <= 0 || stride <= 0 || size_t(stride) * size_t(height) > bytes.size())
        throw EGrabError("KWin's screenshot came incomplete");
    // The picture is copied out of the bytes before they go.
    return QImage(bytes.data(), width, height, stride, format)
        .convertToFormat(QImage::Format_RGB32);
}

}  // namespace fk
