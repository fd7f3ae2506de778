#pragma once
// The two panels the polling data test shows each record in.

#include <QString>

namespace pb {

class PollingView {
public:
    virtual ~PollingView() = default;
    virtual void setPollingDate(const QString& text) = 0;  // pnPoolingDate
    virtual void setPollingData(const QString& text) = 0;  // pnPoolingData
    // How many records the store holds from the oldest on, once the test knows (before
    // the first record is shown); a view without room for it leaves it out.
    virtual void setRecordsStored(int /*count*/) {}
    // Both panels empty: no record of any unit on show.
    virtual void clearPolling() {
        setPollingDate(QString());
        setPollingData(QString());
    }
};

}  // namespace pb
