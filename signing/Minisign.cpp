#include "signing/Minisign.h"

#include <sodium.h>

#include <QList>

namespace pb::signing {
namespace {

constexpr char kUntrusted[] = "untrusted comment: ";
constexpr char kTrusted[] = "trusted comment: ";
constexpr int kPublicKeyBytes = 2 + kKeyIdSize + crypto_sign_PUBLICKEYBYTES;  // 42
constexpr int kSignatureBytes = 2 + kKeyIdSize + crypto_sign_BYTES;           // 74
constexpr int kSecretPart = kKeyIdSize + crypto_sign_SECRETKEYBYTES + 32;     // 104
constexpr int kSecretKeyBytes = 2 + 2 + 2 + 32 + 8 + 8 + kSecretPart;         // 158

bool ready() {
    static const bool ok = sodium_init() >= 0;
    return ok;
}

const unsigned char* u(const QByteArray& b) { return reinterpret_cast<const unsigned char*>(b.constData()); }
unsigned char* u(QByteArray& b) { return reinterpret_cast<unsigned char*>(b.data()); }

// The lines of a key or signature file, without their line ends.
QList<QByteArray> linesOf(const QByteArray& text) {
    QList<QByteArray> lines;
    for (QByteArray line : text.split('\n')) {
        while (line.endsWith('\r')) line.chop(1);
        lines << line;
    }
    while (!lines.isEmpty() && lines.constLast().isEmpty()) lines.removeLast();
    return lines;
}

std::optional<QByteArray> base64(const QByteArray& line, int size) {
    const auto decoded = QByteArray::fromBase64Encoding(line.trimmed(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != size) return std::nullopt;
    return decoded.decoded;
}

// The base64 line of a file that has a comment line first, or is that line alone.
QByteArray dataLine(const QByteArray& text) {
    const QList<QByteArray> lines = linesOf(text);
    if (lines.size() >= 2 && lines[0].startsWith("untrusted comment:")) return lines[1];
    return lines.size() == 1 ? lines[0] : QByteArray();
}

quint64 le64(const QByteArray& b, int at) {
    quint64 v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | quint8(b[at + i]);
    return v;
}

QByteArray secretCheck(const QByteArray& keyId, const QByteArray& key) {
    QByteArray check(32, '\0');
    crypto_generichash_state state;
    crypto_generichash_init(&state, nullptr, 0, 32);
    crypto_generichash_update(&state, u(QByteArrayLiteral("Ed")), 2);
    crypto_generichash_update(&state, u(keyId), kKeyIdSize);
    crypto_generichash_update(&state, u(key), crypto_sign_SECRETKEYBYTES);
    crypto_generichash_final(&state, u(check), 32);
    return check;
}

QByteArray prehash(const QByteArray& message) {
    QByteArray hash(crypto_generichash_BYTES_MAX, '\0');
    crypto_generichash(u(hash), hash.size(), u(message), quint64(message.size()), nullptr, 0);
    return hash;
}

QByteArray detached(const SecretKey& key, const QByteArray& message) {
    QByteArray sig(crypto_sign_BYTES, '\0');
    crypto_sign_detached(u(sig), nullptr, u(message), quint64(message.size()), u(key.key));
    return sig;
}

bool verifies(const QByteArray& publicKey, const QByteArray& message, const QByteArray& sig) {
    return crypto_sign_verify_detached(u(sig), u(message), quint64(message.size()), u(publicKey)) == 0;
}

}  // namespace

QString KeyIdText(const QByteArray& keyId) {
    if (keyId.size() != kKeyIdSize) return {};
    return QStringLiteral("%1").arg(le64(keyId, 0), 16, 16, QLatin1Char('0')).toUpper();
}

PublicKey SecretKey::publicKey() const {
    return {keyId, key.right(crypto_sign_PUBLICKEYBYTES)};
}

std::optional<PublicKey> ParsePublicKey(const QByteArray& text) {
    const auto raw = base64(dataLine(text), kPublicKeyBytes);
    if (!raw || !raw->startsWith("Ed")) return std::nullopt;
    return PublicKey{raw->mid(2, kKeyIdSize), raw->mid(2 + kKeyIdSize)};
}

std::optional<SecretKey> ParseSecretKey(const QByteArray& text, const QByteArray& password, FileProblem* problem) {
    const auto fail = [&](FileProblem p) -> std::optional<SecretKey> {
        if (problem) *problem = p;
        return std::nullopt;
    };
    if (!ready()) return fail(FileProblem::Unreadable);
    auto raw = base64(dataLine(text), kSecretKeyBytes);
    if (!raw) return fail(FileProblem::NotMinisign);
    if (raw->left(2) != "Ed" || raw->mid(4, 2) != "B2") return fail(FileProblem::UnknownAlgorithm);
    const QByteArray kdf = raw->mid(2, 2);
    QByteArray part = raw->right(kSecretPart);
    if (kdf == "Sc" && password.isEmpty()) return fail(FileProblem::WrongPassword);
    if (kdf == "Sc") {
        QByteArray stream(kSecretPart, '\0');
        const QByteArray salt = raw->mid(6, 32);
        if (crypto_pwhash_scryptsalsa208sha256(u(stream), quint64(stream.size()), password.constData(),
                                               quint64(password.size()), u(salt), le64(*raw, 38),
                                               size_t(le64(*raw, 46))) != 0)
            return fail(FileProblem::Unreadable);
        for (int i = 0; i < kSecretPart; ++i) part[i] = char(part[i] ^ stream[i]);
        sodium_memzero(stream.data(), size_t(stream.size()));
    } else if (kdf != QByteArray(2, '\0')) {
        return fail(FileProblem::UnknownAlgorithm);
    }
    SecretKey key{part.left(kKeyIdSize), part.mid(kKeyIdSize, crypto_sign_SECRETKEYBYTES)};
    // minisign leaves the check of an unencrypted key empty (zeros).
    const bool unchecked = kdf != "Sc" && part.right(32) == QByteArray(32, '\0');
    if (!unchecked && secretCheck(key.keyId, key.key) != part.right(32))
        return fail(kdf == "Sc" ? FileProblem::WrongPassword : FileProblem::NotMinisign);
    if (problem) *problem = FileProblem::None;
    return key;
}

std::optional<Signature> ParseSignature(const QByteArray& text) {
    const QList<QByteArray> lines = linesOf(text);
    if (lines.size() < 4 || !lines[0].startsWith(kUntrusted) || !lines[2].startsWith(kTrusted)) return std::nullopt;
    const auto head = base64(lines[1], kSignatureBytes);
    const auto global = base64(lines[3], crypto_sign_BYTES);
    if (!head || !global) return std::nullopt;
    const QByteArray alg = head->left(2);
    if (alg != "Ed" && alg != "ED") return std::nullopt;
    return Signature{alg == "ED", head->mid(2, kKeyIdSize), head->mid(2 + kKeyIdSize),
                     lines[2].mid(int(sizeof kTrusted) - 1), *global};
}

Check Verify(const PublicKey& key, const QByteArray& message, const Signature& signature) {
    if (!ready() || key.keyId != signature.keyId) return Check::OtherKey;
    const QByteArray signedPart = signature.prehashed ? prehash(message) : message;
    if (!verifies(key.key, signedPart, signature.signature)) return Check::BadSignature;
    if (!verifies(key.key, signature.signature + signature.trustedComment, signature.globalSignature))
        return Check::BadSignature;
    return Check::Good;
}

QByteArray Sign(const SecretKey& key, const QByteArray& message, const QByteArray& trustedComment,
                const QByteArray& untrustedComment, bool prehashed) {
    if (!ready()) return {};
    const QByteArray sig = detached(key, prehashed ? prehash(message) : message);
    const QByteArray head = QByteArray(prehashed ? "ED" : "Ed") + key.keyId + sig;
    const QByteArray global = detached(key, sig + trustedComment);
    return kUntrusted + untrustedComment + '\n' + head.toBase64() + '\n' + kTrusted + trustedComment + '\n' +
           global.toBase64() + '\n';
}

KeyPair GenerateKeyPair() {
    KeyPair pair;
    if (!ready()) return pair;
    QByteArray keyId(kKeyIdSize, '\0'), pk(crypto_sign_PUBLICKEYBYTES, '\0'), sk(crypto_sign_SECRETKEYBYTES, '\0');
    randombytes_buf(keyId.data(), size_t(keyId.size()));
    crypto_sign_keypair(u(pk), u(sk));
    pair.secret = {keyId, sk};
    QByteArray salt(32, '\0');
    randombytes_buf(salt.data(), 32);
    const QByteArray secret = QByteArray("Ed") + QByteArray(2, '\0') + "B2" + salt + QByteArray(16, '\0') + keyId +
                              sk + secretCheck(keyId, sk);
    const QString id = KeyIdText(keyId);
    pair.publicText = "untrusted comment: minisign public key " + id.toLatin1() + '\n' +
                      (QByteArray("Ed") + keyId + pk).toBase64() + '\n';
    pair.secretText = "untrusted comment: minisign secret key " + id.toLatin1() + '\n' + secret.toBase64() + '\n';
    return pair;
}

}  // namespace pb::signing
