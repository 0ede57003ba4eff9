#include "store/allocation.h"

#include "store/number_text.h"

namespace store {

namespace {

using namespace carrier;

struct Allocation {
    int block;  // 3 digits, or 4 where the segment is split
    std::string_view carrier;
};

// The segments never opened for public service get no entry, and of 161
// only 1610 is open. A 4-digit entry wins over its segment's.
constexpr Allocation kAllocations[] = {
    {130, kUnicom},           {131, kUnicom},         {132, kUnicom},
    {133, kTelecom},          {134, kMobile},         {1349, kTelecomSatellite},
    {135, kMobile},           {136, kMobile},         {137, kMobile},
    {138, kMobile},           {139, kMobile},         {141, kTelecomIot},
    {144, kMobileIot},        {145, kUnicomDataCard}, {146, kUnicomIot},
    {147, kMobileDataCard},   {148, kMobileIot},      {149, kTelecomDataCard},
    {150, kMobile},           {151, kMobile},         {152, kMobile},
    {153, kTelecom},          {155, kUnicom},         {156, kUnicom},
    {157, kMobile},           {158, kMobile},         {159, kMobile},
    {1610, kBroadnet},        {162, kTelecomResale},  {165, kMobileResale},
    {166, kUnicom},           {167, kUnicomResale},   {1700, kTelecomResale},
    {1701, kTelecomResale},   {1702, kTelecomResale}, {1703, kMobileResale},
    {1704, kUnicomResale},    {1705, kMobileResale},  {1706, kMobileResale},
    {1707, kUnicomResale},    {1708, kUnicomResale},  {1709, kUnicomResale},
    {171, kUnicomResale},     {172, kMobile},         {173, kTelecom},
    {174, kTelecomSatellite}, {175, kUnicom},         {176, kUnicom},
    {177, kTelecom},          {178, kMobile},         {180, kTelecom},
    {181, kTelecom},          {182, kMobile},         {183, kMobile},
    {184, kMobile},           {185, kUnicom},         {186, kUnicom},
    {187, kMobile},           {188, kMobile},         {189, kTelecom},
    {190, kTelecom},          {191, kTelecom},        {192, kBroadnet},
    {193, kTelecom},          {195, kMobile},         {196, kUnicom},
    {197, kMobile},           {198, kMobile},         {199, kTelecom},
};

}  // namespace

bool inPublicService(int segment) {
    for (const Allocation &allocation : kAllocations) {
        if (allocation.block == segment || allocation.block / 10 == segment) {
            return true;
        }
    }
    return false;
}

std::string_view carrierOf(int prefix) {
    if (prefix < static_cast<int>(kLowestMobileKey) ||
        prefix > static_cast<int>(kHighestMobileKey)) {
        return {};
    }
    const int four = prefix / kBlockSize;
    const int three = prefix / kSegmentSize;
    for (const Allocation &allocation : kAllocations) {
        if (allocation.block == four) {
            return allocation.carrier;
        }
    }
    for (const Allocation &allocation : kAllocations) {
        if (allocation.block == three) {
            return allocation.carrier;
        }
    }
    return {};
}

}  // namespace store
