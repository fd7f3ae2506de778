#pragma once
// Signatures in the minisign format, so that a release signed by the `minisign` program
// verifies here and one signed here verifies there. Ed25519 through libsodium, over the
// file itself (legacy "Ed") or over its BLAKE2b-512 hash (prehashed "ED", what minisign
// writes by default); the trusted comment is signed with the signature.
//
//   public key file   untrusted comment: ...\n base64("Ed" keyId[8] publicKey[32])
//   secret key file   untrusted comment: ...\n base64("Ed" kdf[2] "B2" salt[32] ops[8] mem[8]
//                                                     (keyId[8] secretKey[64] check[32]) xor kdf)
//   signature file    untrusted comment: ...\n base64(alg[2] keyId[8] signature[64])\n
//                     trusted comment: TEXT\n base64(Ed25519(signature || TEXT))\n

#include <QByteArray>
#include <QString>
#include <optional>

namespace pb::signing {

constexpr int kKeyIdSize = 8;

// The key id as minisign prints it: 16 upper-case hexadecimal digits.
QString KeyIdText(const QByteArray& keyId);

struct PublicKey {
    QByteArray keyId;  // 8 bytes
    QByteArray key;    // 32 bytes
    QString idText() const { return KeyIdText(keyId); }
};

struct SecretKey {
    QByteArray keyId;  // 8 bytes
    QByteArray key;    // 64 bytes (libsodium's: seed and public key)
    PublicKey publicKey() const;
};

// Why a key or signature file was not taken.
enum class FileProblem { None, Unreadable, NotMinisign, WrongPassword, UnknownAlgorithm };

// A key file's text (or its base64 line alone).
std::optional<PublicKey> ParsePublicKey(const QByteArray& text);
// A secret key file's text: unencrypted (minisign -W) or encrypted with `password`
// (scrypt, as minisign does); `problem` says why none came back.
std::optional<SecretKey> ParseSecretKey(const QByteArray& text, const QByteArray& password,
                                        FileProblem* problem = nullptr);

struct Signature {
    bool prehashed = true;
    QByteArray keyId;           // 8 bytes
    QByteArray signature;       // 64 bytes, over the file or its hash
    QByteArray trustedComment;  // the text after "trusted comment: "
    QByteArray globalSignature; // 64 bytes, over signature || trustedComment
    QString idText() const { return KeyIdText(keyId); }
};

std::optional<Signature> ParseSignature(const QByteArray& text);

enum class Check {
    Good,          // the file, and the trusted comment, are the ones the key signed
    OtherKey,      // signed by another key than this one
    BadSignature,  // the key's, but the file or its trusted comment was changed
};

Check Verify(const PublicKey& key, const QByteArray& message, const Signature& signature);

// A signature file's text for `message`, in the format above (prehashed unless asked not to).
QByteArray Sign(const SecretKey& key, const QByteArray& message, const QByteArray& trustedComment,
                const QByteArray& untrustedComment, bool prehashed = true);

// A new key pair, with its files' texts (the secret one unencrypted).
struct KeyPair {
    SecretKey secret;
    QByteArray publicText;
    QByteArray secretText;
};
KeyPair GenerateKeyPair();

}  // namespace pb::signing
