#include "wdx/WDirectHeader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

TEST(WDirectHeader, EnumerationsKeepTheirOrdinals)
{
    // The ordinals are what settings and the device's choices compare, so the order is fixed.
    EXPECT_EQ((std::vector<int>{dxclAlwaysExclusive, dxclNeverExclusive, dxclAuto}), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ((std::vector<int>{dxvmOnlyWindowed, dxvmOnlyFullScreen, dxvmAuto}), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ((std::vector<int>{dxlogNone, dxlogError, dxlogAll}), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ((std::vector<int>{dxstEmptyImage, dxstEmptyTexture, dxstImage, dxstImageList, dxstTexture,
                                dxstTextureList, dxstMipMaps}),
              (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ((std::vector<int>{dxmtAuto, dxmtSystemMemory, dxmtVideoMemory}), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ((std::vector<int>{sdFromFile, sdFromScreen, sdExact, sdFromWindow}), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ((std::vector<int>{d3dTRANSPARENTWHITE, d3dTRANSPARENTBLACK, d3d16BITSPERPIXEL, d3d32BITSPERPIXEL,
                                d3dCREATEWITHALPHA}),
              (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ((std::vector<int>{diEXCLUSIVE, diBACKGROUND}), (std::vector<int>{0, 1}));
}

TEST(TEnumSet, HoldsEachMemberApart)
{
    Td3dTextr options;
    EXPECT_TRUE(options.Empty());
    options.Include(d3dTRANSPARENTBLACK).Include(d3dCREATEWITHALPHA);
    EXPECT_TRUE(options.Contains(d3dTRANSPARENTBLACK));
    EXPECT_TRUE(options.Contains(d3dCREATEWITHALPHA));
    EXPECT_FALSE(options.Contains(d3dTRANSPARENTWHITE));
    EXPECT_FALSE(options.Contains(d3d16BITSPERPIXEL));
    EXPECT_FALSE(options.Contains(d3d32BITSPERPIXEL));
    EXPECT_EQ(options, (Td3dTextr{d3dCREATEWITHALPHA, d3dTRANSPARENTBLACK}));

    options.Exclude(d3dTRANSPARENTBLACK).Exclude(d3dTRANSPARENTWHITE);
    EXPECT_EQ(options, Td3dTextr(d3dCREATEWITHALPHA));
    options.Exclude(d3dCREATEWITHALPHA);
    EXPECT_TRUE(options.Empty());
    EXPECT_EQ(options, Td3dTextr{});
}

TEST(TEnumSet, CombinesLikeSets)
{
    const TdiCoopFlags exclusive = diEXCLUSIVE;
    const TdiCoopFlags both = {diEXCLUSIVE, diBACKGROUND};
    EXPECT_EQ(exclusive + TdiCoopFlags(diBACKGROUND), both);
    EXPECT_EQ(both - exclusive, TdiCoopFlags(diBACKGROUND));
    EXPECT_EQ(both * exclusive, exclusive);
    EXPECT_TRUE((exclusive * TdiCoopFlags(diBACKGROUND)).Empty());
    EXPECT_NE(exclusive, both);
}

TEST(TDriverInfo, PointsAtItsOwnGuidAfterCopies)
{
    const GUID driver = {0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};
    TDriverInfo info;
    EXPECT_EQ(info.GuidPtr, nullptr) << "a fresh record names the primary driver";
    info.SetGuid(&driver);
    info.Name = "display";
    ASSERT_EQ(info.GuidPtr, &info.Guid);
    EXPECT_EQ(std::memcmp(&info.Guid, &driver, sizeof(GUID)), 0);

    std::vector<TDriverInfo> list;
    list.push_back(info);
    list.push_back(info);  // may move the first record to new storage
    for (const TDriverInfo& copy : list) {
        EXPECT_EQ(copy.GuidPtr, &copy.Guid);
        EXPECT_EQ(std::memcmp(copy.GuidPtr, &driver, sizeof(GUID)), 0);
        EXPECT_EQ(copy.Name, "display");
    }

    TDriverInfo primary;
    primary.SetGuid(nullptr);
    list[0] = primary;
    EXPECT_EQ(list[0].GuidPtr, nullptr);
    list[0] = std::move(list[1]);
    EXPECT_EQ(list[0].GuidPtr, &list[0].Guid);
}
