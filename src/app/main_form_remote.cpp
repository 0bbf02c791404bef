// The commands of the hot keys and of the command line, and which files each command of the
// command line has saved, so that it can be answered with its own.
#include <QComboBox>

#include "app/main_form.h"
#include "app/region_selector.h"
#include "platform/event_pump.h"

namespace fk {

void TMainForm::HotKeyPressed(HotKeyAction action) {
    switch (action) {
        case HotKeyAction::ShootScreen:
            Button8Click();
            break;
        case HotKeyAction::ShootWindow:
            m_capture->ShootWindow();
            break;
        case HotKeyAction::TimedSeries:
            m_series->ToggleTimedSeries();
            break;
        case HotKeyAction::Video:
            VideoToggle();
            break;
        case HotKeyAction::ShootRegion:
            ShootRegion();
            break;
    }
}

void TMainForm::VideoToggle() {
    if (VideoOn()) {
        Button10Click();
        return;
    }
    // The command that starts the video returns once the video is written (or has failed):
    // then whoever asked for the stop learns the outcome.
    std::vector<QString> saved;
    m_savedBy.push_back(&saved);
    auto answer = [this](bool ok, const QString& text) {
        for (const RemoteControl::Reply& reply : std::exchange(m_videoWaiters, {}))
            reply(ok, text);
    };
    try {
        Button10Click();
    } catch (const EWaitsEnded&) {
        m_savedBy.pop_back();
        answer(!saved.empty(), saved.empty() ? "the program closed" : saved.back());
        throw;
    } catch (const std::exception& e) {
        m_savedBy.pop_back();
        answer(false, QString::fromUtf8(e.what()));
        throw;
    }
    m_savedBy.pop_back();
    answer(!saved.empty(), saved.empty() ? "no video was written" : saved.back());
}

void TMainForm::answerShot(const std::function<void()>& command, const char* nothing,
                           const RemoteControl::Reply& reply) {
    // The files this command saves, apart from those of commands nested in its waits.
    std::vector<QString> saved;
    bool cancelled = false;
    m_savedBy.push_back(&saved);
    const std::optional<QString> error = runCaught([&] {
        try {
            command();
        } catch (const EShotCancelled&) {
            cancelled = true;
        }
    });
    m_savedBy.pop_back();
    if (error)
        reply(false, *error);
    else if (cancelled)
        reply(false, "the shot was cancelled");
    else if (saved.empty())
        reply(false, nothing);
    else
        reply(true, saved.back());
}

void TMainForm::remoteCommand(Command command, const ShotOptions& options,
                              const RemoteControl::ShotReply& shotReply) {
    // The options hold for this command only.
    m_clipboardOnce += options.clipboard ? 1 : 0;
    const GrabArea area = m_capture->grabArea();
    if (options.allMonitors)
        m_capture->setGrabArea(GrabArea::WholeDesktop);
    m_capture->setRequest(shotRequestOf(options, Mask->currentText().toStdString()));
    struct Back {
        TMainForm& f;
        bool clipboard;
        GrabArea area;
        ~Back() {
            f.m_clipboardOnce -= clipboard ? 1 : 0;
            f.m_capture->setGrabArea(area);
            f.m_capture->setRequest(std::nullopt);
        }
    } back{*this, options.clipboard, area};
    // A picture for standard output is answered with its bytes instead of a file.
    const bool streamed = options.output == "-";
    auto reply = [&](bool ok, const QString& text) {
        if (!streamed || !ok)
            return shotReply(ok, text, {});
        const std::vector<uint8_t> bytes = m_capture->takeStreamed();
        if (bytes.empty())
            return shotReply(false, nothingWritten(command), {});
        shotReply(true, {},
                  QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
    };
    if (streamed) {
        // Nothing is saved: the answer waits for the bytes instead.
        const std::optional<QString> error = runCaught([&] {
            command == Command::Region
                ? (options.region.empty() ? ShootRegion() : ShootRegionAt(options.region))
                : HotKeyPressed(command == Command::Screen ? HotKeyAction::ShootScreen
                                                           : HotKeyAction::ShootWindow);
        });
        return error ? reply(false, *error) : reply(true, {});
    }
    if (command != Command::Region)
        return remoteCommand(command, reply);
    if (m_selector && m_selector->isChoosing())
        return reply(false, "a region is being chosen already");
    answerShot([&] { options.region.empty() ? ShootRegion() : ShootRegionAt(options.region); },
               nothingWritten(command), reply);
}

void TMainForm::remoteCommand(Command command, const RemoteControl::Reply& reply) {
    auto shot = [&](HotKeyAction action, const char* nothing) {
        answerShot([&] { HotKeyPressed(action); }, nothing, reply);
    };
    switch (command) {
        case Command::Screen:
            shot(HotKeyAction::ShootScreen, nothingWritten(command));
            return;
        case Command::Window:
            shot(HotKeyAction::ShootWindow, nothingWritten(command));
            return;
        case Command::Series: {
            const bool starting = !TimerOn();
            // A running series holds its command until it stops: answer first.
            reply(true, starting ? "started" : "stopped");
            run([this] { HotKeyPressed(HotKeyAction::TimedSeries); });
            return;
        }
        case Command::Video:
            if (VideoOn()) {
                m_videoWaiters.push_back(reply);
            } else {
                reply(true, "started");
            }
            run([this] { HotKeyPressed(HotKeyAction::Video); });
            return;
        case Command::Show:
            DoRestore();
            reply(true, {});
            return;
        case Command::Quit:
            reply(true, {});
            close();
            return;
        case Command::Region:
            remoteCommand(
                command, ShotOptions{},
                [reply](bool ok, const QString& text, const QByteArray&) { reply(ok, text); });
            return;
        case Command::Start:
        case Command::Help:
        case Command::Version:
            reply(false, "not a command of the running program");
            return;
    }
}

}  // namespace fk
