#include "cli/FirmwareCommand.h"

#include <QCommandLineParser>
#include <QDate>
#include <QFile>
#include <QJsonDocument>
#include <QSaveFile>
#include <QTextStream>
#include <cstdio>

#include "cli/ExitCode.h"
#include "cli/Output.h"
#include "files/CheckedFile.h"
#include "firmware/FirmwareRelease.h"
#include "firmware/ReleasePolicy.h"
#include "i18n/CauseTexts.h"
#include "signing/Minisign.h"

namespace cli {
namespace {

constexpr qint64 kSecretKeyFileLimit = 4096;

int firmwareSay(FILE* to, const QString& text, int code) {
    EmitLines(to, text.split(u'\n', Qt::SkipEmptyParts));
    return code;
}

int firmwareUsage(const QString& why) {
    return firmwareSay(stderr, QStringLiteral("panelbench-cli firmware: %1\n"
                                      "usage: panelbench-cli firmware sign FILE --secret-key KEY --models M[,M] --version V\n"
                                      "                     [--downgrade] [--expires YYYY-MM-DD] [--legacy]\n"
                                      "       panelbench-cli firmware verify FILE [--trust PUB]... [--json]")
                           .arg(why),
               kExitUsage);
}

QByteArray keyPassword() {
    if (qEnvironmentVariableIsSet("PANELBENCH_KEY_PASSWORD")) return qgetenv("PANELBENCH_KEY_PASSWORD");
    QTextStream in(stdin);
    return in.readLine().toUtf8();
}

int signRelease(const QCommandLineParser& p, const QString& file) {
    if (!p.isSet(QStringLiteral("secret-key")) || !p.isSet(QStringLiteral("models")) || !p.isSet(QStringLiteral("version")))
        return firmwareUsage(QStringLiteral("sign wants --secret-key, --models and --version"));
    pb::ReleaseManifest m;
    for (const QString& model : p.value(QStringLiteral("models")).split(u',', Qt::SkipEmptyParts)) m.models << model.trimmed();
    m.version = p.value(QStringLiteral("version")).trimmed();
    m.downgrade = p.isSet(QStringLiteral("downgrade"));
    if (p.isSet(QStringLiteral("expires"))) {
        m.expires = QDate::fromString(p.value(QStringLiteral("expires")), Qt::ISODate);
        if (!m.expires.isValid()) return firmwareUsage(QStringLiteral("--expires wants YYYY-MM-DD"));
    }
    if (m.models.isEmpty() || m.version.isEmpty()) return firmwareUsage(QStringLiteral("--models and --version may not be empty"));
    const pb::CheckedFile keyFile = pb::ReadCheckedFile(p.value(QStringLiteral("secret-key")), kSecretKeyFileLimit);
    if (!keyFile.ok()) return firmwareUsage(QStringLiteral("the secret key %1 cannot be read").arg(keyFile.path));
    pb::signing::FileProblem problem = pb::signing::FileProblem::None;
    std::optional<pb::signing::SecretKey> key = pb::signing::ParseSecretKey(keyFile.bytes, {}, &problem);
    if (!key && problem == pb::signing::FileProblem::WrongPassword)
        key = pb::signing::ParseSecretKey(keyFile.bytes, keyPassword(), &problem);
    if (!key)
        return firmwareSay(stderr,
                   problem == pb::signing::FileProblem::WrongPassword
                       ? QStringLiteral("panelbench-cli firmware: wrong password for the secret key")
                       : QStringLiteral("panelbench-cli firmware: %1 is no minisign secret key").arg(keyFile.path),
                   kExitUsage);
    const pb::FirmwareReleaseRef release = pb::ReadFirmwareRelease(file);
    if (!release->ok()) return firmwareSay(stderr, QStringLiteral("panelbench-cli firmware: ") + pb::CauseText(release->problem, 0), kExitFirmwareRefused);
    const QByteArray signature =
        pb::signing::Sign(*key, release->bytes, m.trustedComment(),
                          "signature from panelbench-cli, key " + key->publicKey().idText().toLatin1(),
                          !p.isSet(QStringLiteral("legacy")));
    QSaveFile out(file + QStringLiteral(".minisig"));
    if (!out.open(QIODevice::WriteOnly) || out.write(signature) != signature.size() || !out.commit())
        return firmwareSay(stderr, QStringLiteral("panelbench-cli firmware: cannot write %1.minisig").arg(file), kExitUsage);
    return firmwareSay(stdout, QStringLiteral("%1.minisig: key %2, %3").arg(file, key->publicKey().idText(),
                                                                      QString::fromUtf8(m.trustedComment())),
               kExitOk);
}

int verifyRelease(const QCommandLineParser& p, const QString& file, int language) {
    pb::ReleasePolicy policy = pb::ReleasePolicy::of(p.values(QStringLiteral("trust")), true);
    if (!policy.unreadableKeys.isEmpty())
        return firmwareUsage(QStringLiteral("%1 is no minisign public key").arg(policy.unreadableKeys.first()));
    const pb::FirmwareReleaseRef release = pb::ReadFirmwareRelease(file);
    pb::ReleaseVerdict v;
    if (!release->ok()) v.cause = release->problem;
    else v = pb::CheckReleaseSignature(*release, policy);
    const QDate today = QDate::currentDate();
    if (v.passed() && v.manifest && v.manifest->expires.isValid() && today > v.manifest->expires)
        v.cause = pb::Cause::of(pb::CauseCode::Expired, {v.manifest->expires.toString(Qt::ISODate)});
    const int code = v.passed() ? kExitOk : kExitFirmwareRefused;
    if (p.isSet(QStringLiteral("json"))) {
        QJsonObject o = v.toJson();
        o.insert(QStringLiteral("file"), release->facts());
        if (!v.passed()) o.insert(QStringLiteral("cause"), pb::ToJson(v.cause));
        return firmwareSay(stdout, QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)), code);
    }
    QString text = QStringLiteral("file: %1\nsha256: %2\n").arg(file, release->sha256Hex());
    if (!v.keyId.isEmpty()) text += QStringLiteral("key: %1\n").arg(v.keyId);
    if (v.manifest)
        text += QStringLiteral("manifest: %1\n").arg(QString::fromUtf8(QJsonDocument(v.manifest->toJson()).toJson(QJsonDocument::Compact)));
    text += QStringLiteral("verdict: %1").arg(v.code());
    if (!v.passed()) text += QStringLiteral(" (%1)").arg(pb::CauseText(v.cause, language));
    return firmwareSay(stdout, text, code);
}

}  // namespace

int RunFirmwareCommand(const QStringList& arguments) {
    QCommandLineParser p;
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const auto value = [](const char* name) { return QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("V")); };
    const auto flag = [](const char* name) { return QCommandLineOption(QString::fromLatin1(name)); };
    p.addOptions({value("secret-key"), value("models"), value("version"), flag("downgrade"), value("expires"),
                  flag("legacy"), value("trust"), flag("json"), value("language")});
    if (!p.parse(QStringList{QStringLiteral("firmware")} + arguments)) return firmwareUsage(p.errorText());
    const QStringList args = p.positionalArguments();
    if (args.size() != 2) return firmwareUsage(QStringLiteral("give sign or verify and one FILE"));
    const int language = int(QStringList{"en", "zh-hans", "zh-hant"}.indexOf(p.value(QStringLiteral("language")).toLower()));
    if (args[0] == QLatin1String("sign")) return signRelease(p, args[1]);
    if (args[0] == QLatin1String("verify")) return verifyRelease(p, args[1], qMax(0, language));
    return firmwareUsage(QStringLiteral("unknown firmware command '%1'").arg(args[0]));
}

}  // namespace cli
