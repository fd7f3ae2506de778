#include "app/FirmwareReleaseLabel.h"

#include "i18n/CauseTexts.h"
#include "i18n/FeedbackTexts.h"

FirmwareReleaseLabel::FirmwareReleaseLabel(QWidget* parent) : QLabel(parent) {
    setObjectName(QStringLiteral("lbFirmwareRelease"));
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setAttribute(Qt::WA_TransparentForMouseEvents, false);
}

QString FirmwareReleaseLabel::StateText(const pb::FirmwareRelease& release, const pb::ReleasePolicy& policy,
                                        int language) {
    if (!release.ok()) return {};
    const pb::ReleaseVerdict v = pb::CheckReleaseSignature(release, policy);
    // No policy asks for a signature and there is none: unsigned, and the flow as ever.
    if (v.passed() && v.keyId.isEmpty()) return pb::CauseTitle(pb::CauseCode::Unsigned, language);
    if (!v.passed() || !v.manifest) return pb::CauseTitle(v.cause.code, language);
    return pb::Text(pb::FeedbackText::SignedRelease, language)
        .arg(v.keyId, v.manifest->version, v.manifest->models.join(QStringLiteral(", ")));
}

void FirmwareReleaseLabel::showRelease(const pb::FirmwareRelease& release, const pb::ReleasePolicy& policy,
                                       pb::Language language) {
    const QString text = StateText(release, policy, pb::LanguageIndex(language));
    setText(text);
    setToolTip(release.ok() ? QStringLiteral("SHA-256 ") + release.sha256Hex() : QString());
    // Fits its place: a long list of models is cut short, the whole of it in the tip.
    const QString shown = fontMetrics().elidedText(text, Qt::ElideRight, qMax(0, width() - 6));
    if (shown != text) {
        setText(shown);
        setToolTip(text + u'\n' + toolTip());
    }
}

void FirmwareReleaseLabel::clearRelease() {
    setText({});
    setToolTip({});
}
