#include "procedures/Countdown.h"

#include "i18n/FeedbackTexts.h"

namespace pb {

void WaitWithCountdown(Clock& clock, TestRunView& view, const QString& status, int ms) {
    const int language = LanguageIndex(view.language());
    clock.countdown(ms, [&](int secondsLeft) {
        view.setStatus(CountdownStatus(status, secondsLeft, language));
    });
}

}  // namespace pb
