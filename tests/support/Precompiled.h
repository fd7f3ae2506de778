#pragma once
// The headers most test programs include, compiled once for all of them (tests/CMakeLists.txt,
// PANELBENCH_TEST_PCH): a test's compile is mostly GoogleTest's and Qt's headers. Only
// third-party headers belong here, so that no test sees more of the tree than it includes.

#include <gtest/gtest.h>

#include <QApplication>
#include <QByteArray>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>
