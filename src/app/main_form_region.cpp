// The additions beyond the original program: a picture of a region, the clipboard, the shot
// delay's countdown, and screen pictures of the whole desktop.
#include <QAction>
#include <QTimer>

#include "app/clipboard.h"
#include "app/countdown_window.h"
#include "app/form_text.h"
#include "app/main_form.h"
#include "app/program_icon.h"
#include "app/region_selector.h"
#include "base/exceptions.h"

namespace fk {

namespace {

// A choice from the tray menu waits until the menu has gone from the screen and the windows
// under it have been drawn again: the frozen screen must not show it.
constexpr int kAfterMenuMs = 200;

}  // namespace

void TMainForm::ShootRegion() {
    if (m_selector && m_selector->isChoosing())
        return;  // one region at a time
    m_capture->WaitShotDelay();
    const FrozenScreen frozen = m_capture->freezeScreen(true);
    if (!m_selector)
        m_selector = std::make_unique<RegionSelector>(m_platform.pump, m_platform.desktop);
    const std::optional<ScreenRect> chosen = m_selector->choose(frozen);
    if (!chosen)
        throw EShotCancelled();
    m_lastRegion = regionText(intersect(*chosen, frozen.area));
    m_capture->ShootRegion(frozen, *chosen);
}

void TMainForm::PrepareRegion() {
    if (m_selector)
        return;
    m_selector = std::make_unique<RegionSelector>(m_platform.pump, m_platform.desktop);
    try {
        prepareSelector(*m_selector, *m_capture, m_platform.grabber.capabilities());
    } catch (const Exception&) {
        // Nothing is lost: the first region meets the fault itself and reports it.
    }
}

void TMainForm::ShootRegionAt(const std::string& area) {
    if (area == "last" && m_lastRegion.empty())
        throw Exception("No region has been taken yet");
    const std::optional<ScreenRect> region = parseRegion(area == "last" ? m_lastRegion : area);
    if (!region)
        throw Exception("'" + area + "' is no region: give X,Y,W,H in pixels, or last");
    m_capture->WaitShotDelay();
    const FrozenScreen frozen = m_capture->freezeScreen(false);
    const ScreenRect inside = intersect(*region, frozen.area);
    if (inside.width > 0)
        m_lastRegion = regionText(inside);
    m_capture->ShootRegion(frozen, *region);
}

void TMainForm::RegionMenuClick() {
    QTimer::singleShot(kAfterMenuMs, this, [this] { run([this] { ShootRegion(); }); });
}

void TMainForm::CancelClick() {
    m_capture->cancelShotDelay();
}

void TMainForm::WholeDesktopClick() {
    m_capture->setGrabArea(N7->isChecked() ? GrabArea::WholeDesktop : GrabArea::PrimaryMonitor);
}

void TMainForm::shotDelayCountdown(int secondsLeft) {
    N5->setEnabled(secondsLeft > 0);
    if (secondsLeft > 0) {
        if (!m_cancelKeyHeld)
            m_cancelKeyHeld = m_platform.hotKeys.grabCancelKey(
                [this] { run([this] { m_capture->cancelShotDelay(); }); });
        m_tray->setIcon(countdownIcon(secondsLeft));
        m_tray->setToolTip(tr("%1: снимок через %2 сек.").arg(kCaption).arg(secondsLeft));
        // Only where the shots can leave it out; shown over the window it would say nothing new.
        if (isHiddenFromUser() &&
            m_platform.grabber.capabilities().ownWindows != OwnWindows::Shown) {
            if (!m_countdown)
                m_countdown = std::make_unique<CountdownWindow>();
            const bool appearing = !m_countdown->isVisible();
            m_countdown->showSeconds(secondsLeft);
            if (appearing)
                updateExcludedWindows();
        }
        return;
    }
    if (m_cancelKeyHeld)
        m_platform.hotKeys.releaseCancelKey();
    m_cancelKeyHeld = false;
    m_tray->setIcon(programIcon());
    m_tray->setToolTip(kCaption);
    // The shot that waited is taken before the event loop runs again: the window goes after it.
    if (m_countdown && m_countdown->isVisible())
        QTimer::singleShot(0, this, [this] {
            if (m_capture->shotDelayWaiting() || !m_countdown)
                return;
            m_countdown->hide();
            updateExcludedWindows();
        });
}

bool TMainForm::wantsPngCopy() {
    return N6->isChecked() || m_clipboardOnce > 0;
}

void TMainForm::pngCopyMade(const std::string& path, PngBytes png) {
    if (!m_hooks.background)
        return putOnClipboard(qs(path), std::move(png));
    // Handed to the process that holds it, once made.
    const std::vector<uint8_t>& bytes = png.get();
    m_forClipboard = HeldPicture{
        qs(path), QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()))};
}

}  // namespace fk
