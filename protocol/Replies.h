// Cutting received bytes into lines and taking the phone's replies apart.
#pragma once

#include "protocol/Session.h"

Bytes TakeLine(Session& s);
// Name (UTF-8 bytes) and size of a "+FSDL: " line. Throws ConversionError.
void ParseListEntry(const Bytes& line, Bytes& name, int32_t& size);
// The checksum of a "+FSFR: 0" header line. Throws ConversionError.
int64_t ParseReadHeader(const Bytes& line);
// The file size of a "+FSFR: 0,<size>,<crc>" header line, or -1 when that field
// is not a number.
int64_t ParseReadHeaderSize(const Bytes& line);
void StoreDataBlock(Session& s, const Bytes& block);
void ReportPhoneError(Session& s, const Bytes& line);
