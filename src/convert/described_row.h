#pragma once

#include "convert/file_report.h"
#include "resource/data_type.h"
#include "resource/objects.h"

namespace lumenpull {

// What a listing knows of a texture before its pixels are looked at: the
// row a conversion and an import both start from.
TextureRow describedRow(const CBaseTexture& texture, const DataType& type);

}  // namespace lumenpull
