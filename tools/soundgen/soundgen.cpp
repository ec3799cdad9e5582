// Synthesises the program's four built-in sound cues and writes them as 16-bit mono WAV files
// into the folder given as the only argument. They are made here rather than taken from
// anywhere, and run at build time so that no generated file lives in the source tree.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

namespace {
constexpr int kRate = 22050;
constexpr double kTwoPi = 2.0 * std::numbers::pi;

using Samples = std::vector<double>;

struct Partial {
    double ratio;     // frequency as a multiple of the note's
    double amplitude; // relative to the note's first partial
    double decay;     // exponential decay rate, per second
};

// A struck note: partials that die away at their own rates. A short attack avoids a click.
void addStruck(Samples& out, double start, double frequency, double seconds, double gain,
               const std::vector<Partial>& partials)
{
    const auto first = size_t(start * kRate);
    const auto count = size_t(seconds * kRate);
    if (out.size() < first + count)
        out.resize(first + count, 0.0);
    for (size_t i = 0; i < count; ++i) {
        const double t = double(i) / kRate;
        const double attack = std::min(1.0, t / 0.004);
        double v = 0.0;
        for (const Partial& p : partials)
            v += p.amplitude * std::exp(-p.decay * t) * std::sin(kTwoPi * frequency * p.ratio * t);
        out[first + i] += gain * attack * v;
    }
}

// A held note with a rounded envelope; `harmonics` gives its colour (brass, buzz).
void addHeld(Samples& out, double start, double frequency, double seconds, double gain,
             const std::vector<double>& harmonics, double attackSeconds, double releaseSeconds,
             double vibratoDepth = 0.0)
{
    const auto first = size_t(start * kRate);
    const auto count = size_t(seconds * kRate);
    if (out.size() < first + count)
        out.resize(first + count, 0.0);
    double phase = 0.0;
    for (size_t i = 0; i < count; ++i) {
        const double t = double(i) / kRate;
        const double left = seconds - t;
        double envelope = std::min({1.0, t / attackSeconds, left / releaseSeconds});
        envelope = envelope * envelope * (3.0 - 2.0 * envelope); // smooth edges
        const double f = frequency * (1.0 + vibratoDepth * std::sin(kTwoPi * 5.5 * t));
        phase += kTwoPi * f / kRate;
        double v = 0.0;
        for (size_t h = 0; h < harmonics.size(); ++h)
            v += harmonics[h] * std::sin(double(h + 1) * phase);
        out[first + i] += gain * envelope * v;
    }
}

// Scales to the given peak and fades the last few milliseconds to silence.
std::vector<int16_t> finish(Samples s, double peak)
{
    const size_t fade = std::min(s.size(), size_t(0.02 * kRate));
    for (size_t i = 0; i < fade; ++i)
        s[s.size() - 1 - i] *= double(i) / double(fade);
    double top = 0.0;
    for (const double v : s)
        top = std::max(top, std::abs(v));
    const double scale = top > 0.0 ? peak * 32767.0 / top : 0.0;
    std::vector<int16_t> pcm(s.size());
    std::transform(s.begin(), s.end(), pcm.begin(),
                   [scale](double v) { return int16_t(std::lround(v * scale)); });
    return pcm;
}

// A small bell: a bright strike with the inharmonic partials that make a bell sound like one.
Samples ding()
{
    Samples s;
    addStruck(s, 0.0, 1318.5, 0.9, 1.0,
              {{1.0, 1.0, 5.0}, {2.0, 0.45, 7.0}, {2.76, 0.3, 9.0}, {5.4, 0.1, 14.0}});
    return s;
}

// Three chime notes rising through a major triad.
Samples chimes()
{
    Samples s;
    const std::array notes = {1046.5, 1318.5, 1568.0};
    for (size_t i = 0; i < notes.size(); ++i)
        addStruck(s, 0.15 * double(i), notes[i], 0.7, 1.0,
                  {{1.0, 1.0, 5.5}, {2.0, 0.3, 9.0}, {3.0, 0.1, 13.0}});
    return s;
}

// A refusal: low, close, buzzing tones a semitone and a tritone apart.
Samples chord()
{
    Samples s;
    const std::vector<double> buzz = {1.0, 0.5, 0.33, 0.25, 0.2, 0.17, 0.14, 0.12};
    for (const double f : {185.0, 196.0, 262.0})
        addHeld(s, 0.0, f, 0.45, 1.0, buzz, 0.01, 0.08);
    return s;
}

// A fanfare: a short upbeat chord, then the tonic chord held.
Samples tada()
{
    Samples s;
    const std::vector<double> brass = {1.0, 0.7, 0.5, 0.35, 0.2, 0.1};
    for (const double f : {392.0, 493.9, 587.3})
        addHeld(s, 0.0, f, 0.16, 1.0, brass, 0.015, 0.04);
    for (const double f : {523.3, 659.3, 784.0, 1046.5})
        addHeld(s, 0.2, f, 1.05, 1.0, brass, 0.03, 0.45, 0.004);
    return s;
}

void put16(std::ofstream& f, uint16_t v)
{
    const std::array<char, 2> b = {char(v & 0xFF), char(v >> 8)};
    f.write(b.data(), b.size());
}

void put32(std::ofstream& f, uint32_t v)
{
    put16(f, uint16_t(v & 0xFFFF));
    put16(f, uint16_t(v >> 16));
}

bool writeWav(const std::filesystem::path& path, const std::vector<int16_t>& pcm)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    const auto dataBytes = uint32_t(pcm.size() * 2);
    f.write("RIFF", 4);
    put32(f, 36 + dataBytes);
    f.write("WAVEfmt ", 8);
    put32(f, 16);
    put16(f, 1); // PCM
    put16(f, 1); // mono
    put32(f, kRate);
    put32(f, kRate * 2);
    put16(f, 2);
    put16(f, 16);
    f.write("data", 4);
    put32(f, dataBytes);
    for (const int16_t v : pcm)
        put16(f, uint16_t(v));
    return bool(f);
}
} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: soundgen <output folder>\n");
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    const struct {
        const char* name;
        Samples samples;
        double peak;
    } cues[] = {
        {"ding.wav", ding(), 0.5},
        {"chimes.wav", chimes(), 0.5},
        {"chord.wav", chord(), 0.35}, // buzz sounds louder than its peak says
        {"tada.wav", tada(), 0.5},
    };
    for (const auto& cue : cues) {
        if (!writeWav(dir / cue.name, finish(cue.samples, cue.peak))) {
            std::fprintf(stderr, "soundgen: cannot write %s\n", (dir / cue.name).c_str());
            return 1;
        }
    }
    return 0;
}
