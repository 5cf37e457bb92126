#include "tests/soak/soak_plan.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <span>
#include <stdexcept>
#include <string_view>

#include "driver/common/cp1251.h"
#include "tools/emulator/catalogue.h"

namespace zarvik12m::emulator {

void PrintTo(const TGoodsRecord& record, std::ostream* stream)
{
    *stream << "{'" << record.Barcode << "' " << record.Price << " '" << Cp1251ToUtf8(record.Name) << "' "
            << int{record.Group} << " " << record.Quantity << "}";
}

}  // namespace zarvik12m::emulator

namespace zarvik12m::testing {

namespace {

using namespace zarvik12m::literals;
using emulator::TBytes;

constexpr std::uint8_t OurNetNumber = 1;
constexpr std::uint8_t LastRegisterMessage = 31;  // 1..31: what a register sends
constexpr std::size_t MaxFrameLength = 255;

std::uint64_t NumberFromEnvironment(const char* name, std::uint64_t standard)
{
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0') {
        return standard;
    }
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 0);
    if (*end != '\0') {
        throw std::invalid_argument(std::string(name) + " is no number: " + text);
    }
    return value;
}

// Whether a frame of our register, of a kind that a register sends, begins
// at the first of the bytes: what the driver would take from the line.
bool FrameOfOursAt(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < emulator::FrameOverhead || bytes[0] != emulator::AddressOf(OurNetNumber)) {
        return false;
    }
    const std::uint8_t length = bytes[1];
    const std::size_t frameLength = length + emulator::FrameOverhead;
    if (frameLength > std::min(bytes.size(), MaxFrameLength) ||
        emulator::FrameChecksum(bytes.first(frameLength - 1)) != bytes[frameLength - 1]) {
        return false;
    }
    for (std::uint8_t message = 1; message <= LastRegisterMessage; ++message) {
        const emulator::TMessageShape shape = emulator::ShapeOf(message);
        if (shape.Code == bytes[2] && (shape.Length == length || shape.Length == emulator::AnyLength)) {
            return true;
        }
    }
    return false;
}

// Whether the noise and the foreign copy that go ahead of the answer hold,
// alone or together with the answer's first bytes, something that the
// driver would take for a frame of our register before the answer itself.
bool FrameOfOursAhead(const emulator::TFaults& faults, const TBytes& answer)
{
    TBytes stream = faults.Garbage;
    if (faults.ForeignNetNumber != 0) {
        // As the register sends it: the answer readdressed.
        TBytes foreign = answer;
        foreign.front() = emulator::AddressOf(faults.ForeignNetNumber);
        foreign.back() = emulator::FrameChecksum(std::span(foreign).first(foreign.size() - 1));
        stream.insert(stream.end(), foreign.begin(), foreign.end());
    }
    const std::size_t answerStart = stream.size();
    stream.insert(stream.end(), answer.begin(), answer.end());
    for (std::size_t position = 0; position < answerStart; ++position) {
        if (FrameOfOursAt(std::span(stream).subspan(position))) {
            return true;
        }
    }
    return false;
}

// Random bytes; now and then with what looks like the start of one of our
// answers, or a whole answer with a broken checksum, among them.
TBytes RandomNoise(TSoakRandom& random, const std::vector<TBytes>& answers)
{
    TBytes noise(random.Between(1, 24));
    std::ranges::generate(noise, [&] { return random.Byte(); });
    if (!answers.empty() && random.Chance(40)) {
        TBytes lookalike = answers[random.Between(0, static_cast<std::uint32_t>(answers.size() - 1))];
        if (random.Chance(50)) {
            lookalike.back() = static_cast<std::uint8_t>(lookalike.back() ^ random.Between(1, 255));
        } else {
            lookalike.resize(random.Between(1, static_cast<std::uint32_t>(lookalike.size() - 1)));
        }
        const auto at = noise.begin() + random.Between(0, static_cast<std::uint32_t>(noise.size()));
        noise.insert(at, lookalike.begin(), lookalike.end());
    }
    return noise;
}

}  // namespace

std::uint64_t SoakSeed()
{
    static const std::uint64_t seed = NumberFromEnvironment("ZARVIK12M_SOAK_SEED", std::random_device{}());
    return seed;
}

std::size_t SoakRuns(std::size_t standard)
{
    return static_cast<std::size_t>(NumberFromEnvironment("ZARVIK12M_SOAK_RUNS", standard));
}

TSoakRandom::TSoakRandom(std::uint64_t seed, std::uint32_t stream)
{
    std::seed_seq sequence{static_cast<std::uint32_t>(seed), static_cast<std::uint32_t>(seed >> 32U), stream};
    FEngine.seed(sequence);
}

std::uint32_t TSoakRandom::Between(std::uint32_t low, std::uint32_t high)
{
    return std::uniform_int_distribution<std::uint32_t>(low, high)(FEngine);
}

bool TSoakRandom::Chance(unsigned percent)
{
    return Between(1, 100) <= percent;
}

emulator::TGoodsRecord RandomRecord(TSoakRandom& random)
{
    static constexpr std::string_view Letters =
        "АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯабвгдеёжзийклмнопрстуфхцчшщъыьэюя"
        "ABCXYZabcxyz0123456789 .,%-/№\"'()"_cp1251;
    constexpr std::uint32_t Widest = std::numeric_limits<std::uint32_t>::max();

    emulator::TGoodsRecord record;
    const std::uint32_t digits = random.Between(0, emulator::BarcodeWidth);
    for (std::uint32_t i = 0; i < digits; ++i) {
        record.Barcode.push_back(static_cast<char>('0' + random.Between(0, 9)));
    }
    record.Price = random.Chance(10) ? random.Between(0, Widest) : random.Between(0, 99999);
    const std::uint32_t length = random.Between(0, 20);
    for (std::uint32_t i = 0; i < length; ++i) {
        record.Name.push_back(random.Chance(5) ? static_cast<char>(random.Between(0x20, 0xFF))
                                               : Letters[random.Between(0, Letters.size() - 1)]);
    }
    record.Group = random.Byte();
    record.Quantity = random.Chance(10) ? random.Between(0, Widest) : random.Between(0, 999999);
    return emulator::Normalised(record);
}

std::string AsTheLineCarries(std::string_view name)
{
    TBytes field;
    emulator::PutDosField(field, name, emulator::NameWidth);
    return emulator::GetDosField(field.data(), emulator::NameWidth);
}

emulator::TBytes GoodsFoundAnswer(const emulator::TGoodsRecord& record)
{
    const TBytes payload = emulator::GoodsFoundPayload(record);
    return emulator::BuildFrame(OurNetNumber, emulator::ShapeOf(emulator::raGoodsFound).Code, payload);
}

emulator::TBytes NoSuchGoodsAnswer()
{
    const TBytes payload{7};
    return emulator::BuildFrame(OurNetNumber, emulator::ShapeOf(emulator::raGoodsStatus).Code, payload);
}

emulator::TBytes WriteDoneAnswer()
{
    const TBytes payload{0};
    return emulator::BuildFrame(OurNetNumber, emulator::ShapeOf(emulator::raWriteStatus).Code, payload);
}

emulator::TFaults RandomFaults(TSoakRandom& random, const std::vector<emulator::TBytes>& answers)
{
    using std::chrono::milliseconds;
    emulator::TFaults faults;
    if (random.Chance(40)) {
        faults.ChunkSize = random.Between(1, 48);
        // Pauses only between chunks of some size: a pause after every few
        // bytes would make a run slow without testing anything more.
        if (faults.ChunkSize >= 16 && random.Chance(60)) {
            faults.ChunkPause = milliseconds(random.Between(1, 2));
        }
    }
    // Never together with chunks (see the test).
    faults.DuplicateAnswer = faults.ChunkSize == 0 && random.Chance(50);
    if (random.Chance(40)) {
        faults.AnswerDelay = milliseconds(random.Between(1, 4));
    }
    const bool noisy = random.Chance(50);
    const bool foreign = random.Chance(40);
    for (int attempt = 0; attempt < 100; ++attempt) {
        faults.Garbage = noisy ? RandomNoise(random, answers) : TBytes{};
        faults.ForeignNetNumber = foreign ? static_cast<std::uint8_t>(random.Between(2, 99)) : 0;
        if (std::ranges::none_of(answers, [&](const TBytes& answer) { return FrameOfOursAhead(faults, answer); })) {
            return faults;
        }
    }
    faults.Garbage.clear();
    faults.ForeignNetNumber = 0;
    return faults;
}

std::string Describe(const emulator::TFaults& faults)
{
    std::string text;
    const auto add = [&text](const std::string& part) { text += (text.empty() ? "" : ", ") + part; };
    if (!faults.Garbage.empty()) {
        add("noise " + emulator::HexText(faults.Garbage));
    }
    if (faults.ForeignNetNumber != 0) {
        add("a copy for network number " + std::to_string(faults.ForeignNetNumber));
    }
    if (faults.ChunkSize != 0) {
        add("chunks of " + std::to_string(faults.ChunkSize) + " bytes " + std::to_string(faults.ChunkPause.count()) +
            " ms apart");
    }
    if (faults.DuplicateAnswer) {
        add("every answer twice");
    }
    if (faults.AnswerDelay.count() != 0) {
        add("answers " + std::to_string(faults.AnswerDelay.count()) + " ms late");
    }
    return text.empty() ? "a clean line" : text;
}

}  // namespace zarvik12m::testing
