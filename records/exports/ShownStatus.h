#pragma once
// A run's stored status as the records window and reports show it: its known phrases in
// the window's language (ShownText) and the reason its details name, worded anew in that
// language, whatever language the run was shown in when it ended.

#include <QJsonObject>
#include <QString>

namespace pb::records {

QString ShownRunStatus(const QString& status, const QJsonObject& details, int language);

}  // namespace pb::records
