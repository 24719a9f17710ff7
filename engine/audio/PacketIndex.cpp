#include "engine/audio/PacketIndex.h"

#include <algorithm>
#include <limits>

namespace {
constexpr std::size_t kBlockPackets = 256;
constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();
constexpr std::int32_t kNoPts = std::numeric_limits<std::int32_t>::min();

// Whether `value` can be kept against `base`: the block starts anew where it
// cannot (a gap of 4 GB, timestamps far apart, a base missing).
bool fits(long long value, long long base, long long none, long long lowest, long long highest) {
    if (value == none)
        return true;
    if (base == none)
        return false;
    const long long delta = value - base;
    return delta > lowest && delta < highest;
}
} // namespace

void PacketIndex::add(const Facts& facts) {
    const std::size_t at = packets_.size();
    const bool fresh = blocks_.empty() || at - blocks_.back().start >= kBlockPackets;
    if (fresh || !fits(facts.pos, blocks_.back().pos, -1, -1, kNone) ||
        !fits(facts.pts, blocks_.back().pts, NoTime, kNoPts, std::numeric_limits<std::int32_t>::max()))
        blocks_.push_back(Block{at, facts.pos, facts.pts, 0});
    const Block& block = blocks_.back();
    packets_.push_back(Packet{
        facts.pos < 0 ? kNone : static_cast<std::uint32_t>(facts.pos - block.pos),
        facts.pts == NoTime ? kNoPts : static_cast<std::int32_t>(facts.pts - block.pts),
        facts.size, facts.frames});
    if (facts.skip >= 0 || facts.discard)
        drops_[at] = Drop{facts.skip, facts.padding, facts.discard};
}

void PacketIndex::setFrames(std::size_t packet, int frames) {
    packets_[packet].frames = frames;
}

void PacketIndex::place() {
    // A packet's skip side data sets how many frames to drop from there on
    // (encoder delay, pre-skip, an edit list's start) and how many to drop at
    // its end (padding); a packet flagged as discarded is dropped whole.
    kept_.clear();
    long long skip = 0;
    long long frames = 0;
    std::size_t block = 0;
    for (std::size_t at = 0; at < packets_.size(); ++at) {
        if (block < blocks_.size() && blocks_[block].start == at)
            blocks_[block++].first = frames;
        const int count = packets_[at].frames;
        long long padding = 0;
        bool discard = false;
        if (const auto drop = drops_.find(at); drop != drops_.end()) {
            if (drop->second.skip >= 0) {
                skip = drop->second.skip;
                padding = drop->second.padding;
            }
            discard = drop->second.discard;
        }
        if (skip == 0 && !discard && padding == 0) {
            frames += count;
            continue;
        }
        int keepFrom = 0;
        int keepTo = count;
        if (discard) {
            skip = std::max<long long>(0, skip - count);
            keepFrom = keepTo;
        } else if (skip > 0) {
            if (count <= skip) {
                skip -= count;
                keepFrom = keepTo;
            } else {
                keepFrom = static_cast<int>(skip);
                skip = 0;
            }
        }
        if (keepFrom < keepTo && padding > 0 && padding <= keepTo - keepFrom)
            keepTo -= static_cast<int>(padding);
        if (keepFrom != 0 || keepTo != count)
            kept_[at] = Kept{keepFrom, keepTo};
        frames += keepTo - keepFrom;
    }
    total_ = frames;
}

std::size_t PacketIndex::blockOf(std::size_t packet) const {
    const auto after =
        std::upper_bound(blocks_.begin(), blocks_.end(), packet,
                         [](std::size_t p, const Block& block) { return p < block.start; });
    return static_cast<std::size_t>(after - blocks_.begin()) - 1;
}

long long PacketIndex::pos(std::size_t packet) const {
    const std::uint32_t delta = packets_[packet].pos;
    return delta == kNone ? -1 : blocks_[blockOf(packet)].pos + delta;
}

long long PacketIndex::pts(std::size_t packet) const {
    const std::int32_t delta = packets_[packet].pts;
    return delta == kNoPts ? NoTime : blocks_[blockOf(packet)].pts + delta;
}

bool PacketIndex::sharesPos(std::size_t packet) const {
    const long long at = pos(packet);
    return at >= 0 && ((packet > 0 && pos(packet - 1) == at) ||
                       (packet + 1 < packets_.size() && pos(packet + 1) == at));
}

int PacketIndex::keepFrom(std::size_t packet) const {
    const auto found = kept_.find(packet);
    return found == kept_.end() ? 0 : found->second.from;
}

int PacketIndex::keepTo(std::size_t packet) const {
    const auto found = kept_.find(packet);
    return found == kept_.end() ? packets_[packet].frames : found->second.to;
}

int PacketIndex::kept(std::size_t packet) const {
    return keepTo(packet) - keepFrom(packet);
}

long long PacketIndex::first(std::size_t packet) const {
    const Block& block = blocks_[blockOf(packet)];
    long long frame = block.first;
    for (std::size_t at = block.start; at < packet; ++at)
        frame += kept(at);
    return frame;
}

std::size_t PacketIndex::packetAt(long long frame) const {
    if (packets_.empty())
        return 0;
    const auto after =
        std::upper_bound(blocks_.begin(), blocks_.end(), frame,
                         [](long long f, const Block& block) { return f < block.first; });
    const std::size_t block =
        static_cast<std::size_t>(std::max<std::ptrdiff_t>(0, after - blocks_.begin() - 1));
    const std::size_t end = block + 1 < blocks_.size() ? blocks_[block + 1].start : packets_.size();
    std::size_t found = blocks_[block].start;
    long long start = blocks_[block].first;
    for (std::size_t at = blocks_[block].start; at < end && start <= frame; ++at) {
        found = at;
        start += kept(at);
    }
    return found;
}
