#pragma once
// Bytes of the link as one line of text, the same wherever a frame is shown (the
// consoles' reply boxes, the traffic monitor and its exports, `--traffic`, the records):
// printable ASCII as is, the protocol's control bytes by name in angle brackets (<SOH>,
// <STX>, <ETX>, <EOT>, <LF>, <CR>), any other byte as <xNN> in upper-case hex.

#include <QByteArray>
#include <QString>

namespace pb {

QString FrameText(const QByteArray& bytes);

}  // namespace pb
