#include <gtest/gtest.h>

#include <typeinfo>

#include "resource/data_type.h"
#include "resource/texture_kind.h"
#include "resource_fixture.h"

namespace lumenpull {
namespace {

using test::errorOf;

// Hand-made types linked by base, index = position.
struct Chain {
    explicit Chain(std::vector<const char*> names) : types(names.size()) {
        for (size_t i = 0; i < names.size(); ++i) {
            types[i].name = names[i];
            types[i].index = static_cast<int32_t>(i);
            types[i].declared = true;
            types[i].typeClass = DataTypeClass::Structure;
            if (i > 0) types[i].base = &types[i - 1];
        }
    }
    std::vector<DataType> types;
};

TEST(DataTypeQueries, KindAncestorAndMemberLookups) {
    Chain chain({"CResource", "CTexture", "CBaseTexture", "CStaticTexture", "CDynamicLightStaticTexture"});
    const DataType& light = chain.types[4];
    EXPECT_TRUE(light.IsKindOf("CStaticTexture"));
    EXPECT_TRUE(light.IsKindOf("CDynamicLightStaticTexture"));
    EXPECT_FALSE(light.IsKindOf("cstatictexture"));  // exact, case-sensitive
    EXPECT_FALSE(light.IsKindOf("CAnimTexture"));
    EXPECT_EQ(light.FindAncestor("CDynamicLightStaticTexture"), nullptr);  // not the type itself
    EXPECT_EQ(light.FindAncestor("CTexture"), &chain.types[1]);

    DataType holder;
    holder.members = {{-1, "a", &chain.types[0]}, {-1, "b", &chain.types[2]}, {-1, "c", &chain.types[2]}};
    EXPECT_EQ(holder.FindMemberType("CBaseTexture"), &chain.types[2]);
    EXPECT_EQ(holder.FindMemberType("b"), nullptr);  // member names do not count
}

TEST(DataTypeQueries, CircularChainsAreRefused) {
    Chain loop({"A", "B", "C"});
    loop.types[0].base = &loop.types[2];
    EXPECT_EQ(errorOf([&] { loop.types[2].IsKindOf("Z"); }), "Circular base chain in data type 2");
    EXPECT_EQ(errorOf([&] { loop.types[1].FindAncestor("Z"); }), "Circular base chain in data type 1");
    EXPECT_TRUE(loop.types[2].IsKindOf("B"));  // found before the circle closes

    Chain self({"Self"});
    self.types[0].base = &self.types[0];
    EXPECT_EQ(errorOf([&] { self.types[0].FindAncestor("Self"); }), "Circular base chain in data type 0");
}

struct KindCase {
    std::vector<const char*> chain;  // the last is the type tested
    TextureKind kind;
    const std::type_info& made;
};

TEST(TextureKinds, FirstMatchingKindInTheConverterOrder) {
    const KindCase cases[] = {
        {{"CStaticTexture", "CDynamicLightStaticTexture"},
         TextureKind::DynamicLightStatic,
         typeid(CDynamicLightStaticTexture)},
        {{"CStaticTexture", "CMyStatic"}, TextureKind::Static, typeid(CStaticTexture)},
        {{"CAnimTexture", "CStaticTexture"}, TextureKind::Anim, typeid(CAnimTexture)},
        {{"CColorTexture"}, TextureKind::Color, typeid(CColorTexture)},
        {{"CBaseTexture"}, TextureKind::None, typeid(CUnknownObject)},
    };
    for (const KindCase& c : cases) {
        Chain chain(c.chain);
        const TextureKind kind = textureKindOf(chain.types.back());
        EXPECT_EQ(kind, c.kind) << c.chain.back();
        const std::unique_ptr<CObject> object = makeObject(kind);
        const CObject& made = *object;
        EXPECT_EQ(typeid(made), c.made) << c.chain.back();
        EXPECT_EQ(asTexture(object.get()) != nullptr, kind != TextureKind::None);
    }
}

}  // namespace
}  // namespace lumenpull
