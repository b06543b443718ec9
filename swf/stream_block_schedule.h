#pragma once
// How many whole MP3 frames each SoundStreamBlock carries.
//
// Block k (counted from 1) must bring the stream up to the samples due by the
// end of SWF frame k, k x samplesPerSwfFrame, short by less than one MP3
// frame: cumulatively max(0, ceil(k x samplesPerSwfFrame / samplesPerMp3Frame) - 1)
// frames. The shortfall after a block, the sample debt, therefore stays in
// 1..samplesPerMp3Frame. When a SWF frame lasts less than an MP3 frame some
// blocks carry no frame at all; the stream still keeps pace with the movie.
namespace tembrel {

struct StreamBlockPlan {
    int mp3Frames = 0;  // whole MP3 frames the block carries
    int debtAfter = 0;  // sample debt once those frames are written
};

// The next block, given the debt carried in from the blocks before it.
// samplesPerSwfFrame and samplesPerMp3Frame must be positive.
constexpr StreamBlockPlan PlanStreamBlock(int sampleDebt, int samplesPerSwfFrame, int samplesPerMp3Frame) {
    int need = sampleDebt + samplesPerSwfFrame;
    int frames = (need + samplesPerMp3Frame - 1) / samplesPerMp3Frame - 1;  // ceil(need / F) - 1
    if (frames < 0) frames = 0;
    return {frames, need - frames * samplesPerMp3Frame};
}

}  // namespace tembrel
