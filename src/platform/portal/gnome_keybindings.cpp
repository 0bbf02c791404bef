#include "platform/portal/gnome_keybindings.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <optional>

namespace fk {

namespace {

const char* const kMediaKeys = "org.gnome.settings-daemon.plugins.media-keys";
const char* const kCustomSchema = "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding";
const char* const kCustomRoot = "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/";

struct Shortcut {
    const char* id;
    const char* binding;
    const char* option;
    const char* name;
};

constexpr Shortcut kShortcuts[] = {
    {"fotokran-screen", "Print", "--screen",
     QT_TRANSLATE_NOOP("fk::PortalHotKeys", "Fotokran: снимок экрана")},
    {"fotokran-window", "<Control>Print", "--window",
     QT_TRANSLATE_NOOP("fk::PortalHotKeys", "Fotokran: снимок окна")},
    {"fotokran-series", "<Shift>Print", "--series",
     QT_TRANSLATE_NOOP("fk::PortalHotKeys", "Fotokran: съемка по таймеру")},
    {"fotokran-video", "<Shift>Scroll_Lock", "--video",
     QT_TRANSLATE_NOOP("fk::PortalHotKeys", "Fotokran: съемка видео")},
};

// GNOME's own shortcuts that hold the same keys.
constexpr const char* kTakenBy[][2] = {
    {"org.gnome.shell.keybindings", "show-screenshot-ui"},
    {"org.gnome.shell.keybindings", "screenshot"},
    {"org.gnome.shell.keybindings", "screenshot-window"},
    {"org.gnome.shell.keybindings", "show-screen-recording-ui"},
};

std::optional<QString> gsettings(const QStringList& arguments) {
    QProcess p;
    p.start("gsettings", arguments);
    if (!p.waitForFinished(10000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return std::nullopt;
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// The strings of a GVariant text array ("['a', 'b']", "@as []").
QStringList stringsOf(const QString& text) {
    QStringList list;
    static const QRegularExpression item(R"re('((?:[^'\\]|\\.)*)'|"((?:[^"\\]|\\.)*)")re");
    for (auto it = item.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        QString s = m.captured(1).isNull() ? m.captured(2) : m.captured(1);
        s.replace(QRegularExpression(R"(\\(.))"), "\\1");
        list << s;
    }
    return list;
}

QString quoted(const QString& s) {
    QString q = s;
    q.replace('\\', "\\\\").replace('"', "\\\"");
    return '"' + q + '"';
}

QString arrayOf(const QStringList& list) {
    QStringList items;
    for (const QString& s : list)
        items << quoted(s);
    return '[' + items.join(", ") + ']';
}

// Accelerators as GNOME writes them in several spellings.
QString normalised(QString binding) {
    binding.replace(
        QRegularExpression("<(Ctrl|Primary)>", QRegularExpression::CaseInsensitiveOption),
        "<Control>");
    return binding.toLower();
}

// The command line GNOME runs, its words quoted for a shell.
QString commandFor(const std::string& program, const char* option) {
    QString path = QString::fromStdString(program);
    path.replace('\'', "'\\''");
    return "'" + path + "' " + option;
}

QString pathOf(const Shortcut& s) {
    return QString(kCustomRoot) + s.id + '/';
}

}  // namespace

bool GnomeKeybindings::installed() const {
    const std::optional<QString> list = gsettings({"get", kMediaKeys, "custom-keybindings"});
    if (!list)
        return false;
    const QStringList paths = stringsOf(*list);
    for (const Shortcut& s : kShortcuts) {
        const QString schema = QString(kCustomSchema) + ':' + pathOf(s);
        const std::optional<QString> command = gsettings({"get", schema, "command"});
        const std::optional<QString> binding = gsettings({"get", schema, "binding"});
        if (!paths.contains(pathOf(s)) || !command || !binding ||
            stringsOf(*command).value(0) != commandFor(m_program, s.option) ||
            normalised(stringsOf(*binding).value(0)) != normalised(s.binding))
            return false;
    }
    return true;
}

bool GnomeKeybindings::install() const {
    for (const auto& [schema, key] : kTakenBy) {
        const std::optional<QString> value = gsettings({"get", schema, key});
        if (!value)
            continue;  // another GNOME version: not there
        QStringList kept;
        for (const QString& b : stringsOf(*value)) {
            bool ours = false;
            for (const Shortcut& s : kShortcuts)
                ours = ours || normalised(b) == normalised(s.binding);
            if (!ours)
                kept << b;
        }
        if (kept.size() != stringsOf(*value).size() &&
            !gsettings({"set", schema, key, arrayOf(kept)}))
            return false;
    }
    for (const Shortcut& s : kShortcuts) {
        const QString schema = QString(kCustomSchema) + ':' + pathOf(s);
        if (!gsettings({"set", schema, "name",
                        quoted(QCoreApplication::translate("fk::PortalHotKeys", s.name))}) ||
            !gsettings({"set", schema, "command", quoted(commandFor(m_program, s.option))}) ||
            !gsettings({"set", schema, "binding", quoted(s.binding)}))
            return false;
    }
    const std::optional<QString> list = gsettings({"get", kMediaKeys, "custom-keybindings"});
    if (!list)
        return false;
    QStringList paths = stringsOf(*list);
    for (const Shortcut& s : kShortcuts)
        if (!paths.contains(pathOf(s)))
            paths << pathOf(s);
    return gsettings({"set", kMediaKeys, "custom-keybindings", arrayOf(paths)}) && installed();
}

}  // namespace fk
