#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QUrl>
#include <memory>
#include <string>
#include <vector>

#include "app/main_form.h"
#include "platform/fake/fake_platform.h"
#include "platform/null/null_desktop.h"
#include "platform/qt/qt_event_pump.h"
#include "support/test_support.h"

namespace fk::test {

// Global keys held in memory: the test presses them.
struct FakeHotKeys final : HotKeys {
    std::vector<HotKeyAction> refuse;
    std::function<void(HotKeyAction)> onPress;
    bool registered = false;
    int unregistered = 0;

    std::vector<HotKeyAction> registerAll(std::function<void(HotKeyAction)> f) override {
        onPress = std::move(f);
        registered = true;
        return refuse;
    }
    void unregisterAll() override {
        registered = false;
        ++unregistered;
    }
    void press(HotKeyAction action) { onPress(action); }
};

// The fake event queue, with waits that end when the program closes.
struct FakeWaits final : ClosableEventPump {
    explicit FakeWaits(FakeClock& clock) : events(clock) {}
    void processEventsFor(int64_t maxWaitMs) override {
        if (ended)
            throw EWaitsEnded();
        events.processEventsFor(maxWaitMs);
        if (ended)
            throw EWaitsEnded();
    }
    void endAllWaits() override { ended = true; }

    FakeEventPump events;
    bool ended = false;
};

// One main window over a fake display, with its files in a temporary folder.
class FormTest : public ::testing::Test {
protected:
    FormTest();
    ~FormTest() override;

    // Creates the window (its start-up runs) with the files as they are now.
    void start();
    // Closes it as the user would and checks that the close completed.
    void closeForm();

    void writeConfig(const std::string& text);
    std::string readConfig() const;

    template <class T>
    T* control(const char* name) {
        T* widget = form->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    TempDir dir;
    FakeGrabber grabber;
    FakeClock clock;
    FakeWaits pump{clock};
    FakeHotKeys keys;
    NullDesktop desktop;
    AppPaths paths;
    bool tray = true;
    bool realErrorBoxes = false;  // modal boxes as the program shows them, not `errors`
    std::vector<QString> errors;
    std::vector<QString> notices;
    std::vector<QUrl> opened;
    bool opens = true;  // whether a file manager takes what is opened
    int finishedCount = 0;
    std::unique_ptr<TMainForm> form;
};

}  // namespace fk::test
