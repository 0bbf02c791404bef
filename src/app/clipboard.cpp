#include "app/clipboard.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>
#include <csignal>
#include <future>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/file.h"

extern char** environ;

namespace fk {

namespace {

constexpr const char* kHolderVariable = "FOTOKRAN_HOLD_CLIPBOARD";
constexpr char kHolding = '1';
constexpr int kStartTimeoutMs = 15000;

std::string readAllFrom(int fd) {
    std::string data;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0)
            data.append(buffer, size_t(n));
        else if (n == 0 || errno != EINTR)
            return data;
    }
}

// What the holder writes before it holds the clipboard is its reason for not holding it.
QString awaitHolder(int fd, pid_t holder) {
    std::string said;
    pollfd watch{fd, POLLIN, 0};
    while (poll(&watch, 1, kStartTimeoutMs) > 0) {
        char c = 0;
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        if (c == kHolding && said.empty())
            return {};
        said += c;
    }
    waitpid(holder, nullptr, WNOHANG);
    const QString why = QString::fromStdString(said).trimmed();
    return why.isEmpty() ? QString("the process that holds the clipboard did not start") : why;
}

}  // namespace

namespace {

// The picture's PNG, taken from its maker when a program first asks for it.
class PictureData final : public QMimeData {
public:
    PictureData(const QString& path, PngBytes png) : m_png(std::move(png)) {
        setUrls({QUrl::fromLocalFile(path)});
    }
    QStringList formats() const override { return QStringList(kPng) + QMimeData::formats(); }
    bool hasFormat(const QString& type) const override {
        return type == kPng || QMimeData::hasFormat(type);
    }

protected:
    QVariant retrieveData(const QString& type, QMetaType as) const override {
        if (type != kPng)
            return QMimeData::retrieveData(type, as);
        try {
            const std::vector<uint8_t>& bytes = m_png.get();
            return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
        } catch (const std::exception&) {
            return QByteArray();  // no picture rather than a broken one
        }
    }

private:
    static constexpr const char* kPng = "image/png";
    PngBytes m_png;
};

PngBytes ready(const QByteArray& bytes) {
    std::promise<std::vector<uint8_t>> made;
    made.set_value(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    return made.get_future().share();
}

}  // namespace

void putOnClipboard(const QString& path, PngBytes png) {
    QGuiApplication::clipboard()->setMimeData(new PictureData(path, std::move(png)),
                                              QClipboard::Clipboard);
}

QString holdClipboardInBackground(const QString& path, const QByteArray& png) {
    int toHolder[2], fromHolder[2];
    if (pipe2(toHolder, O_CLOEXEC) != 0)
        return "no pipe for the process that holds the clipboard";
    FileDescriptor toRead(toHolder[0]), toWrite(toHolder[1]);
    if (pipe2(fromHolder, O_CLOEXEC) != 0)
        return "no pipe for the process that holds the clipboard";
    FileDescriptor answerRead(fromHolder[0]), answerWrite(fromHolder[1]);

    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_adddup2(&files, toRead.get(), 0);
    posix_spawn_file_actions_adddup2(&files, answerWrite.get(), 1);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // A session of its own: the terminal's end does not end it.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    std::vector<std::string> environment{std::string(kHolderVariable) + "=1"};
    for (char** e = environ; *e; ++e)
        environment.emplace_back(*e);
    std::vector<char*> envp;
    for (std::string& e : environment)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string program = QCoreApplication::applicationFilePath().toStdString();
    char* argv[] = {program.data(), nullptr};
    pid_t holder = 0;
    const int failed = posix_spawn(&holder, program.c_str(), &files, &attributes, argv, envp.data());
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attributes);
    if (failed)
        return "the process that holds the clipboard could not be started";
    toRead.reset();
    answerWrite.reset();

    // A holder that ends early must not end this process with SIGPIPE.
    const auto previous = std::signal(SIGPIPE, SIG_IGN);
    const std::string head = path.toStdString() + "\n";
    writeAll(toWrite.get(), head.data(), head.size());
    writeAll(toWrite.get(), png.constData(), size_t(png.size()));
    std::signal(SIGPIPE, previous);
    toWrite.reset();
    return awaitHolder(answerRead.get(), holder);
}

bool isClipboardHolder() {
    const char* value = std::getenv(kHolderVariable);
    return value && *value;
}

int runClipboardHolder(int argc, char** argv) {
    unsetenv(kHolderVariable);
    const std::string input = readAllFrom(0);
    const size_t end = input.find('\n');
    auto say = [](const std::string& text) { writeAll(1, text.data(), text.size()); };
    if (end == std::string::npos) {
        say("nothing was given to hold on the clipboard\n");
        return 1;
    }
    QGuiApplication app(argc, argv);
    putOnClipboard(QString::fromStdString(input.substr(0, end)),
                   ready(QByteArray(input.data() + end + 1, qsizetype(input.size() - end - 1))));
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard->ownsClipboard()) {
        say("the clipboard could not be taken\n");
        return 1;
    }
    say(std::string(1, kHolding));
    // Nothing more to say: the caller's pipes are left alone from now on.
    const int nothing = open("/dev/null", O_RDWR | O_CLOEXEC);
    for (int fd : {0, 1, 2})
        dup2(nothing, fd);
    close(nothing);
    QObject::connect(clipboard, &QClipboard::changed, &app, [clipboard](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard && !clipboard->ownsClipboard())
            QCoreApplication::quit();
    });
    return QGuiApplication::exec();
}

}  // namespace fk
