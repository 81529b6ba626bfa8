// Synthesises the program's own sounds as 16-bit PCM WAV files into the folder given: the idle warning
// "AutoShutdown.wav" (two tones, twice, under a second) and the about box's tune "AboutTune.wav" (a short
// melody on a soft bell-like voice). The output is the same on every run.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 22050;
constexpr double kPi = 3.14159265358979323846;

using Samples = std::vector<double>;

void put16(std::ofstream& out, std::uint16_t v) {
    const char bytes[2] = {char(v & 0xFF), char(v >> 8)};
    out.write(bytes, 2);
}

void put32(std::ofstream& out, std::uint32_t v) {
    const char bytes[4] = {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
    out.write(bytes, 4);
}

// Writes mono 16-bit PCM, scaled so that the loudest sample sits at `peak` of full scale.
bool writeWav(const std::string& path, const Samples& samples, double peak) {
    double loudest = 1e-9;
    for (const double s : samples)
        loudest = std::max(loudest, std::abs(s));
    const double gain = peak * 32767.0 / loudest;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    const auto dataBytes = std::uint32_t(samples.size() * 2);
    out.write("RIFF", 4);
    put32(out, 36 + dataBytes);
    out.write("WAVEfmt ", 8);
    put32(out, 16);        // format chunk size
    put16(out, 1);         // PCM
    put16(out, 1);         // mono
    put32(out, kRate);     // samples per second
    put32(out, kRate * 2); // bytes per second
    put16(out, 2);         // bytes per sample frame
    put16(out, 16);        // bits per sample
    out.write("data", 4);
    put32(out, dataBytes);
    for (const double s : samples)
        put16(out, std::uint16_t(std::int16_t(std::lround(s * gain))));
    return bool(out);
}

double noteFrequency(int midiNote) {
    return 440.0 * std::pow(2.0, (midiNote - 69) / 12.0);
}

// Adds a tone to the buffer from `start` seconds: a few harmonics under an envelope with a quick attack.
// `decay` is the time (seconds) in which a ringing tone falls to about a third; 0 holds it steady.
void addTone(Samples& buffer, double start, double length, double frequency, double loudness, double decay,
             const std::vector<double>& harmonics) {
    const auto first = std::size_t(start * kRate);
    const auto count = std::size_t(length * kRate);
    if (buffer.size() < first + count) buffer.resize(first + count, 0.0);
    const double attack = 0.006, release = std::min(0.04, length / 3);
    for (std::size_t i = 0; i < count; ++i) {
        const double t = double(i) / kRate;
        double envelope = std::min(1.0, t / attack) * std::min(1.0, (length - t) / release);
        if (decay > 0) envelope *= std::exp(-t / decay);
        double wave = 0;
        for (std::size_t h = 0; h < harmonics.size(); ++h)
            wave += harmonics[h] * std::sin(2 * kPi * frequency * double(h + 1) * t);
        buffer[first + i] += loudness * envelope * wave;
    }
}

// High, low, high, low: bright enough to be heard across a room, short enough not to annoy.
Samples warning() {
    Samples s;
    const std::vector<double> voice{1.0, 0.35, 0.18, 0.08};
    const double note = 0.16, gap = 0.035;
    double at = 0.0;
    for (int i = 0; i < 4; ++i) {
        addTone(s, at, note, i % 2 == 0 ? 988.0 : 740.0, 1.0, 0.0, voice);
        at += note + gap;
    }
    s.resize(std::size_t((at + 0.02) * kRate), 0.0);
    return s;
}

// A light, rising melody in C major over soft bass notes, ending on a long chord.
Samples tune() {
    struct Note {
        double beat, beats;
        int pitch;
    };
    const Note melody[] = {
        {0, 1, 72}, {1, 0.5, 76}, {1.5, 0.5, 79}, {2, 1, 84},     {3, 1, 83}, {4, 0.5, 81}, {4.5, 0.5, 79}, {5, 1, 77},
        {6, 1, 76}, {7, 1, 74},   {8, 0.5, 76},   {8.5, 0.5, 77}, {9, 1, 79}, {10, 1, 71},  {11, 1, 74},    {12, 3, 72},
    };
    const Note bass[] = {{0, 2, 48}, {2, 2, 52}, {4, 2, 53}, {6, 2, 55}, {8, 2, 57}, {10, 2, 55}, {12, 3, 48}};
    const Note chord[] = {{12, 3, 64}, {12, 3, 67}};
    const double beat = 0.3; // seconds: 200 beats a minute
    const std::vector<double> bell{1.0, 0.45, 0.22, 0.12, 0.05};
    const std::vector<double> soft{1.0, 0.25, 0.08};
    Samples s;
    for (const Note& n : melody)
        addTone(s, n.beat * beat, n.beats * beat + 0.25, noteFrequency(n.pitch), 0.55, 0.35, bell);
    for (const Note& n : bass)
        addTone(s, n.beat * beat, n.beats * beat, noteFrequency(n.pitch), 0.35, 0.6, soft);
    for (const Note& n : chord)
        addTone(s, n.beat * beat, n.beats * beat, noteFrequency(n.pitch), 0.25, 0.6, bell);
    s.resize(s.size() + std::size_t(0.1 * kRate), 0.0);
    return s;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fputs("usage: keyvale-makesounds FOLDER\n", stderr);
        return 2;
    }
    std::string folder = argv[1];
    if (!folder.empty() && folder.back() != '/') folder += '/';
    bool ok = writeWav(folder + "AutoShutdown.wav", warning(), 0.7);
    ok = writeWav(folder + "AboutTune.wav", tune(), 0.6) && ok;
    if (!ok) {
        std::fprintf(stderr, "keyvale-makesounds: could not write the sounds into %s\n", folder.c_str());
        return 1;
    }
    return 0;
}
