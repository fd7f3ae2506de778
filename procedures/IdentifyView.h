#pragma once
// What connect-and-identify reads and shows: the ID asked for, and the controller found.

#include <QString>

namespace pb {

class IdentifyView {
public:
    virtual ~IdentifyView() = default;
    // The four-digit ID the identify queries are sent to (pnID).
    virtual QString idCaption() const = 0;
    // The ID found, as a number: the ID selector moves there (sbID, then pnID).
    virtual void setIdPosition(int position) = 0;
    virtual void setVersionText(const QString& text) = 0;       // pnVER
    virtual void setSerialNumberText(const QString& text) = 0;  // pnSN
    // Neither panel shows a unit any more.
    virtual void clearIdentity() {
        setVersionText(QString());
        setSerialNumberText(QString());
    }
};

}  // namespace pb
