// What a drag carries between the panes and from other desktop programs: local
// files as file URLs, phone files as their names in the folder shown.
#pragma once

#include <QStringList>
#include <vector>

#include "engine/Session.h"

class QMimeData;

namespace orvo {

// The MIME type of phone names (CP1251 bytes) dragged out of the phone pane.
extern const char* const kPhoneNamesMimeType;

// The local paths among the data's URLs (other URLs are left out).
QStringList LocalPaths(const QMimeData* data);

QMimeData* PhoneNamesMimeData(const std::vector<Bytes>& names);
// The phone names the data carries; empty when it carries none.
std::vector<Bytes> PhoneNames(const QMimeData* data);

}  // namespace orvo
