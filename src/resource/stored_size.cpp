#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "resource/data_type.h"
#include "resource/read_word.h"
#include "lumenpull/error.h"

namespace lumenpull {

namespace {

[[noreturn]] void ThrowSizeOutOfRange(const DataType& type) {
    throw Error("Stored size of " + DataTypeLabel(type) + " out of range");
}

// Stored sizes are 32-bit; a negative one, or a sum or product of hostile
// sizes past 2^31 - 1, cannot describe any value in a file.
int64_t CheckedSize(int64_t size, const DataType& type) {
    if (size < 0 || size > std::numeric_limits<int32_t>::max()) ThrowSizeOutOfRange(type);
    return size;
}

const DataType& RequireBase(const DataType& type) {
    if (type.base == nullptr) throw Error("Missing base of " + DataTypeLabel(type));
    return *type.base;
}

// A value stored as an i32 length and that many bytes.
int64_t LengthPrefixedSize(Stream& stream, const DataType& type) {
    const int32_t length = ReadInt32(stream);
    stream.Skip(-4);
    return CheckedSize(int64_t{length} + 4, type);
}

struct Frame {
    const DataType* type;
    bool started = false;
    int64_t total = 0;      // Structure: bytes measured so far
    int32_t count = 0;      // dynamic array: element count
    size_t nextMember = 0;  // Structure: next member to measure
};

// Either a type to measure next (on top of the frame) or the frame's size.
struct Step {
    const DataType* child = nullptr;
    int64_t size = 0;
};

Step Child(const DataType& type) { return Step{&type, 0}; }
Step Done(int64_t size) { return Step{nullptr, size}; }

Step StructureStep(Frame& frame, Stream& stream, std::optional<int64_t> childSize) {
    const DataType& type = *frame.type;
    if (!frame.started) {
        frame.started = true;
        if (type.name == "CTransString") {
            stream.Skip(4);
            frame.total = 4;
        }
        if (type.base != nullptr) return Child(*type.base);
    } else if (childSize) {
        frame.total = CheckedSize(frame.total + *childSize, type);
        stream.Skip(*childSize);
    }
    if (frame.nextMember < type.members.size()) {
        const DataType* memberType = type.members[frame.nextMember++].type;
        if (memberType == nullptr) throw Error("Missing member type in " + DataTypeLabel(type));
        return Child(*memberType);
    }
    stream.Skip(-frame.total);
    return Done(frame.total);
}

Step DynamicArrayStep(Frame& frame, Stream& stream, std::optional<int64_t> childSize) {
    const DataType& type = *frame.type;
    if (!frame.started) {
        frame.started = true;
        stream.Skip(4);
        frame.count = ReadInt32(stream);
        if (frame.count == 0) {
            stream.Skip(-8);
            return Done(8);
        }
        return Child(RequireBase(type));  // the first element, 8 bytes in
    }
    const int64_t elements = CheckedSize(*childSize * frame.count, type);
    stream.Skip(-8);
    return Done(CheckedSize(elements + 8, type));
}

// Measures what one frame can measure by itself, or names the nested type it
// needs measured first; `childSize` is that nested type's size once known.
Step Measure(Frame& frame, Stream& stream, std::optional<int64_t> childSize) {
    const DataType& type = *frame.type;
    switch (type.typeClass) {
        case DataTypeClass::Simple:
            if (type.name == "IDENT") return Done(4);
            if (type.name == "CString") return Done(LengthPrefixedSize(stream, type));
            return Done(CheckedSize(type.valueSize, type));
        case DataTypeClass::Sized: return Done(CheckedSize(type.valueSize, type));
        case DataTypeClass::Reference2:
        case DataTypeClass::Reference3:
        case DataTypeClass::Reference11:
        case DataTypeClass::Reference12: return Done(4);
        case DataTypeClass::FixedArray:
            if (!childSize) return Child(RequireBase(type));  // the first element
            return Done(CheckedSize(*childSize * type.elementCount, type));
        case DataTypeClass::Structure: return StructureStep(frame, stream, childSize);
        case DataTypeClass::DynamicArray6:
        case DataTypeClass::DynamicArray7: return DynamicArrayStep(frame, stream, childSize);
        case DataTypeClass::ReferenceArray: {
            stream.Skip(4);
            const int32_t count = ReadInt32(stream);
            stream.Skip(-8);
            return Done(CheckedSize(int64_t{count} * 4 + 8, type));
        }
        case DataTypeClass::Alias:
            if (!childSize) return Child(RequireBase(type));
            return Done(*childSize);
        case DataTypeClass::Template:
            if (type.templateName == "Synced") {
                if (!childSize) return Child(RequireBase(type));
                return Done(*childSize);
            }
            if (type.templateName == "ResourceLink") return Done(LengthPrefixedSize(stream, type));
            return Done(4);
        case DataTypeClass::External:
        case DataTypeClass::Unused9: return Done(0);
    }
    throw Error("Unexpected class of " + DataTypeLabel(type));
}

void RequireDeclared(const DataType& type) {
    if (!type.declared) throw Error("Undeclared " + DataTypeLabel(type));
}

}  // namespace

// Nested values (structures in arrays in structures ...) are measured with an
// explicit stack, so that a deep nesting cannot overflow the call stack.
int32_t DataType::StoredSize(Stream& stream, size_t nestingLimit) const {
    RequireDeclared(*this);
    std::vector<Frame> stack;
    stack.push_back(Frame{this});
    std::optional<int64_t> childSize;
    for (;;) {
        const Step step = Measure(stack.back(), stream, childSize);
        childSize.reset();
        if (step.child != nullptr) {
            RequireDeclared(*step.child);
            if (stack.size() >= nestingLimit) {
                throw Error("Stored value of " + DataTypeLabel(*this) + " nests too deeply or in a circle");
            }
            stack.push_back(Frame{step.child});
            continue;
        }
        stack.pop_back();
        if (stack.empty()) return static_cast<int32_t>(step.size);
        childSize = step.size;
    }
}

}  // namespace lumenpull
