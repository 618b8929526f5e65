#include "tools/DemoSong.h"

namespace kv_test {

std::vector<Chord> song_chords() {
    const std::set<int> major = {0, 4, 7};
    const std::set<int> minor = {0, 3, 7};
    const std::set<int> seventh = {0, 4, 7, 10};
    auto maj = [&](int r) { return Chord{r, major}; };
    auto min = [&](int r) { return Chord{r, minor}; };
    // Bars of C major, then of D major from bar 24 on (a tone higher).
    const std::vector<std::vector<Chord>> bars = {
        {maj(0)}, {min(9)}, {maj(5)},         {maj(7)},                     // intro
        {maj(0)}, {maj(7)}, {min(9)},         {min(4)},                     // A
        {maj(5)}, {maj(0)}, {min(2)},         {maj(7)},                     //
        {maj(5)}, {maj(7)}, {min(4), min(9)}, {min(2), maj(7)},             // B
        {maj(5)}, {maj(7)}, {min(4)},         {min(9)},                     // chorus
        {min(2)}, {maj(7)}, {maj(0)},         {maj(0), Chord{9, seventh}},  //
        {maj(7)}, {maj(9)}, {min(6)},         {min(11)},                    // chorus in D
        {min(4)}, {maj(9)}, {maj(2)},         {maj(2)},                     //
        {maj(7)}, {maj(9)}, {min(11)},        {maj(9)},                     // outro
        {maj(7)}, {min(7)}, {maj(2)},         {maj(2)},                     // ending
    };
    std::vector<Chord> halves;
    for (const auto& b : bars) {
        halves.push_back(b.front());
        halves.push_back(b.back());
    }
    return halves;
}

}  // namespace kv_test
