#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "resource/referenced_file.h"
#include "stream/counted_string.h"

namespace lumenpull {

// Root of the stored object model. Objects are owned by the object table of
// their ResourceFile and deleted through this virtual destructor.
class CObject {
public:
    CObject() = default;
    CObject(const CObject&) = default;
    CObject(CObject&&) = default;
    CObject& operator=(const CObject&) = default;
    CObject& operator=(CObject&&) = default;
    virtual ~CObject() = default;
};

// A stored object index resolved to a non-owning pointer into the object
// table; -1 in the file means none and leaves the pointer null.
struct ObjectRef {
    CObject* object = nullptr;
};

// An object that lives in a referenced file; only its whereabouts are known.
class CExternalObject : public CObject {
public:
    const ReferencedFile* referencedFile = nullptr;  // null when its slot was never filled
    int32_t externalId = 0;                          // kept, not interpreted
    int32_t obtainWord = 0;                          // always 0 once read
};

// An object of a type the system does not model, held as its raw body.
class CUnknownObject : public CObject {
public:
    std::vector<uint8_t> data;
    int32_t size = 0;  // byte count of data
};

class CPlatformMip : public CObject {
public:
    int32_t mipWordA = 0;
    int32_t mipWordB = 0;
    int32_t mipWordC = 0;
};

class CResource : public CObject {
public:
    int32_t resourceWord = 0;
    CountedString name;  // copied from the IDENT table
    ObjectRef firstRef;
    ObjectRef secondRef;
    ObjectRef customData;
    int32_t extraWord = 0;  // versions 4 to 7 only
};

class CTexture : public CResource {};

class CBaseTexture : public CTexture {
public:
    int32_t width = 0;
    int32_t height = 0;
    uint32_t textureFlags = 0;  // bits in image/texture_flags.h (six faces, two channels, planes)
    int32_t imageCount = 0;     // stored below version 9; set again by the converter
    int32_t legacyWord = 0;     // below version 6
    std::vector<uint8_t> pixelData;
    std::vector<int32_t> wordArray;  // below version 6
    std::array<int32_t, 3> pixelWords{};
    int32_t pixelFormat = 0;
    int32_t word35A = 0;
    std::array<int32_t, 3> words26{};
    int32_t mipWord = 0;
    int32_t word35B = 0;
    std::vector<CPlatformMip> mips;
    ObjectRef textureRefA;
    ObjectRef textureRefB;
    ObjectRef textureRefC;
    ObjectRef textureRefD;
    int32_t word35C = 0;
};

class CStaticTexture : public CBaseTexture {
public:
    CountedString staticName;  // copied from the IDENT table
    std::array<uint8_t, 16> keptBytes16{};
    std::array<uint8_t, 8> keptBytes8{};
    ObjectRef staticRefA;
    ObjectRef staticRefB;
    ObjectRef staticRefC;
    ObjectRef staticRefD;
    int32_t staticWord = 0;
};

class CDynamicLightStaticTexture : public CStaticTexture {
public:
    int32_t dynamicWord = 0;
};

class CColorTexture : public CBaseTexture {
public:
    ObjectRef colorRef;  // a stored 0 means none
    std::array<int32_t, 9> colorWords{};
    std::array<int32_t, 4> colorWords3{};  // version 3 and up
};

class CAnimTexture : public CBaseTexture {
public:
    int32_t frameCount = 0;
    int32_t animWord = 0;
};

}  // namespace lumenpull
