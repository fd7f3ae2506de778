#pragma once
// The chosen firmware file's release state, shown beside its name: signed by which key,
// the version and the models it is for; unsigned; or why its signature is not taken.
// Read from the release value the caller read once; it opens no file.

#include <QLabel>

#include "firmware/FirmwareRelease.h"
#include "firmware/ReleasePolicy.h"
#include "i18n/Language.h"

class FirmwareReleaseLabel : public QLabel {
public:
    explicit FirmwareReleaseLabel(QWidget* parent);

    void showRelease(const pb::FirmwareRelease& release, const pb::ReleasePolicy& policy, pb::Language language);
    // Nothing chosen, or a file that cannot be read: nothing shown.
    void clearRelease();
    // The text of a release's state, as the label shows it.
    static QString StateText(const pb::FirmwareRelease& release, const pb::ReleasePolicy& policy, int language);
};
