#pragma once

// The whole library: open a resource file, list its textures, decode their
// images or write them as the command-line tool does, and put edited
// pictures back into a copy of the file. docs/api.md has a
// tour and examples/ a complete program.

#include "lumenpull/convert.h"
#include "lumenpull/error.h"
#include "lumenpull/image.h"
#include "lumenpull/patch.h"
#include "lumenpull/resource.h"
#include "lumenpull/texture.h"
