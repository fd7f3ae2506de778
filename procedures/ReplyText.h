#pragma once
// A reply frame as one line of text: printable ASCII as is, control bytes by name in
// angle brackets (<ETX>, <EOT>, <CR>, ...), any other byte as <xNN>.

#include <QByteArray>
#include <QString>

namespace pb {

QString RenderReply(const QByteArray& reply);

}  // namespace pb
