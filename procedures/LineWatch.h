#pragma once
// What the line did while a run went, from the link's own traffic: how many exchanges
// were answered, whether the device went away (and at which command), the last exchange
// that failed, and how long the replies took. The test-run frame keeps one for each run
// and decides from it, before the test's own judgement, whether the ending is the line's.

#include <QMap>
#include <QMetaObject>
#include <QString>
#include <optional>

#include "evidence/Cause.h"
#include "link/Link.h"

namespace pb {

class LineWatch {
public:
    explicit LineWatch(Link& link);
    ~LineWatch();
    LineWatch(const LineWatch&) = delete;
    LineWatch& operator=(const LineWatch&) = delete;

    int answered() const { return answered_; }
    // The device went away (the peer hung up, the adapter was pulled); a link closed on
    // purpose (a cancel, the end of a test) is not a lost line.
    bool lost() const { return lost_; }
    // LineLost with the exchanges answered before and the command in hand.
    Cause lineLost() const;
    // The last exchange that failed on the line (no reply, a bad checksum), if any.
    const std::optional<Cause>& lastFailure() const { return lastFailure_; }
    // How long the answered exchanges' replies took (ms): the median (nearest rank) and the
    // worst; -1 when none was answered.
    qint64 medianReplyMs() const;
    qint64 worstReplyMs() const;
    // The command in hand: the last one sent.
    const QString& lastCommand() const { return lastCommand_; }

private:
    QMetaObject::Connection connection_;
    int answered_ = 0;
    bool lost_ = false;
    QString lastCommand_;
    QString lostAt_;
    std::optional<Cause> lastFailure_;
    QMap<qint64, qint64> replyCounts_;  // ms -> replies: a loop of hours stays small
    qint64 replies_ = 0;
};

// The short name of the command a frame carries, as causes name commands: the text after
// the device ID, whole when short ("DG0", "AC", "AR01"), else its leading letters ("Zp",
// "JC", "AA").
QString CommandOfFrame(const QByteArray& frame);

}  // namespace pb
