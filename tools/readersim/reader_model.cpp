#include "tools/readersim/reader_model.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

static const char kSystem[] = "system";
static const char kVersion[] = "version";
static const char kGet[] = "CONFIG_GET";
static const char kSet[] = "CONFIG_SET";
constexpr int kWordLength = 10;
constexpr unsigned char kAckByte = 0x99;
constexpr unsigned char kWrongAckByte = 0x98;
constexpr int kNameIndex = 5;

void ResetReaderModel(ReaderModel* model, unsigned char version) {
    *model = ReaderModel();
    model->version = version;
    model->noise = 12345;
}

// 1: bytes are a proper prefix of word; 2: bytes start with the whole word; 0: neither.
static int MatchWord(const unsigned char* bytes, int length, const char* word) {
    int wordLength = static_cast<int>(std::strlen(word));
    int n = length < wordLength ? length : wordLength;
    if (std::memcmp(bytes, word, n) != 0) return 0;
    return length >= wordLength ? 2 : 1;
}

static int KindOf(int first, int index) {
    return index <= kNameIndex ? first + index : kRequestNone;
}

Frame FrameRequest(const unsigned char* bytes, int length, bool pauseSeen) {
    Frame frame = {kFrameNeedMore, 0, kRequestNone};
    if (length <= 0) return frame;
    const char* words[] = {kSystem, kVersion, kGet, kSet};
    int prefixes = 0;
    for (const char* word : words) {
        int m = MatchWord(bytes, length, word);
        if (m == 1) ++prefixes;
        if (m != 2) continue;
        if (word == kSystem) return {kFrameComplete, 6, kRequestSystem};
        if (word == kVersion) return {kFrameComplete, 7, kRequestVersion};
        if (length < kWordLength + 2) return frame;
        if (bytes[kWordLength] != 0x00) return {kFrameGarbage, 1, kRequestNone};
        int index = bytes[kWordLength + 1];
        if (word == kGet) return {kFrameComplete, kWordLength + 2, KindOf(kRequestGet0, index)};
        if (index == kNameIndex) {
            if (!pauseSeen) return frame;
            return {kFrameComplete, length, kRequestSet0 + kNameIndex};
        }
        if (length < kWordLength + 4) return frame;
        return {kFrameComplete, kWordLength + 4, KindOf(kRequestSet0, index)};
    }
    if (prefixes > 0 && !pauseSeen) return frame;
    return {kFrameGarbage, prefixes > 0 ? length : 1, kRequestNone};
}

static int NaturalAnswer(ReaderModel* model, const unsigned char* request, int length, int kind,
                         unsigned char* answer) {
    unsigned char ack = model->faults.wrongAck ? kWrongAckByte : kAckByte;
    if (kind == kRequestSystem) {
        answer[0] = ack;
        answer[1] = 0x00;
        answer[2] = 0x00;
        return model->faults.longSystemAnswer ? 3 : 2;
    }
    if (kind == kRequestVersion) {
        answer[0] = ack;
        answer[1] =
            model->faults.versionOverride >= 0 ? model->faults.versionOverride : model->version;
        return 2;
    }
    int index = request[kWordLength + 1];
    if (index > kNameIndex) return 0; // the reader has no such setting
    if (kind >= kRequestSet0) {
        if (index == kNameIndex) {
            int nameLength = length - (kWordLength + 2);
            if (nameLength > kModelNameSize - 1) nameLength = kModelNameSize - 1;
            std::memset(model->name, 0, sizeof model->name);
            std::memcpy(model->name, request + kWordLength + 2, nameLength);
        } else {
            model->values[index] =
                static_cast<int16_t>((request[kWordLength + 2] << 8) | request[kWordLength + 3]);
        }
        answer[0] = ack;
        return 1;
    }
    if (index == kNameIndex) {
        int nameLength = static_cast<int>(strnlen(model->name, kModelNameSize - 1));
        std::memcpy(answer, model->name, nameLength);
        if (model->faults.nameWithoutZero) return nameLength;
        answer[nameLength] = 0x00;
        return nameLength + 1;
    }
    uint16_t value = static_cast<uint16_t>(model->values[index]);
    answer[0] = static_cast<unsigned char>(value >> 8);
    answer[1] = static_cast<unsigned char>(value & 0xFF);
    return 2;
}

int AnswerRequest(ReaderModel* model, const unsigned char* request, int length, int kind,
                  unsigned char* answer, int* delayAttempts) {
    const ReaderFaults& f = model->faults;
    int number = model->requestCount++;
    *delayAttempts = f.delayConfigOnly && kind < kRequestGet0 ? 0 : f.delayAttempts;
    int answerLength = NaturalAnswer(model, request, length, kind, answer);
    if ((f.silentFrom >= 0 && number >= f.silentFrom) || (f.muteKind >= 0 && kind == f.muteKind))
        return 0;
    if (answerLength == 0) return 0;
    if (f.garbage > 0) {
        answerLength = f.garbage < kModelAnswerMax ? f.garbage : kModelAnswerMax;
        for (int i = 0; i < answerLength; ++i) {
            model->noise = model->noise * 1103515245u + 12345u;
            answer[i] = static_cast<unsigned char>(model->noise >> 16);
        }
        return answerLength;
    }
    if (f.answerLength == 1) return 1;
    if (f.answerLength > answerLength) {
        int padded = f.answerLength < kModelAnswerMax ? f.answerLength : kModelAnswerMax;
        std::memset(answer + answerLength, 0x55, padded - answerLength);
        answerLength = padded;
    }
    return answerLength;
}

int ParseRequestKind(const char* text) {
    if (std::strcmp(text, "system") == 0) return kRequestSystem;
    if (std::strcmp(text, "version") == 0) return kRequestVersion;
    int index = -1;
    char tail = 0;
    if (std::sscanf(text, "get%d%c", &index, &tail) == 1 && index >= 0 && index <= kNameIndex)
        return kRequestGet0 + index;
    if (std::sscanf(text, "set%d%c", &index, &tail) == 1 && index >= 0 && index <= kNameIndex)
        return kRequestSet0 + index;
    return kRequestNone;
}

struct IntSetting {
    const char* key;
    int ReaderFaults::*field;
};
static const IntSetting kFaultSettings[] = {
    {"silent-from", &ReaderFaults::silentFrom},
    {"wrong-ack", &ReaderFaults::wrongAck},
    {"answer-length", &ReaderFaults::answerLength},
    {"delay-attempts", &ReaderFaults::delayAttempts},
    {"delay-config-only", &ReaderFaults::delayConfigOnly},
    {"split-ms", &ReaderFaults::splitMs},
    {"vanish-after", &ReaderFaults::vanishAfter},
    {"long-system-answer", &ReaderFaults::longSystemAnswer},
    {"name-without-zero", &ReaderFaults::nameWithoutZero},
    {"garbage", &ReaderFaults::garbage},
    {"version-override", &ReaderFaults::versionOverride},
};

int ApplyModelSetting(ReaderModel* model, const char* line) {
    char key[32] = {0};
    int consumed = 0;
    if (std::sscanf(line, " %31s %n", key, &consumed) < 1) return 0; // blank line
    const char* rest = line + consumed;
    if (key[0] == '#' || std::strcmp(key, "seq") == 0) return 0; // comments, change markers
    if (std::strcmp(key, "values") == 0) {
        int v[5];
        if (std::sscanf(rest, "%d %d %d %d %d", &v[0], &v[1], &v[2], &v[3], &v[4]) != 5) return -1;
        for (int i = 0; i < 5; ++i)
            model->values[i] = static_cast<int16_t>(v[i]);
        return 0;
    }
    if (std::strcmp(key, "name") == 0) {
        std::memset(model->name, 0, sizeof model->name);
        size_t n = std::strcspn(rest, "\r\n");
        std::memcpy(model->name, rest, n < kModelNameSize - 1 ? n : kModelNameSize - 1);
        return 0;
    }
    if (std::strcmp(key, "mute") == 0) {
        char kindName[16] = {0};
        std::sscanf(rest, "%15s", kindName);
        model->faults.muteKind =
            std::strcmp(kindName, "none") == 0 ? kRequestNone : ParseRequestKind(kindName);
        return model->faults.muteKind == kRequestNone && std::strcmp(kindName, "none") != 0 ? -1
                                                                                            : 0;
    }
    char* end = nullptr;
    long value = std::strtol(rest, &end, 0);
    if (end == rest) return -1;
    if (std::strcmp(key, "version") == 0) {
        model->version = static_cast<unsigned char>(value);
        return 0;
    }
    for (const IntSetting& s : kFaultSettings) {
        if (std::strcmp(key, s.key) == 0) {
            model->faults.*s.field = static_cast<int>(value);
            return 0;
        }
    }
    return -1;
}

int FormatModelSettings(const ReaderModel* model, char* text, int size) {
    const int16_t* v = model->values;
    return std::snprintf(text, size, "values %d %d %d %d %d\nname %s\n", v[0], v[1], v[2], v[3],
                         v[4], model->name);
}
