#include "testdata/namefilewriter.h"

#include "testdata/tablefilewriter.h"

namespace testdata {
namespace {

constexpr std::uint8_t kEndMark = '|';

void AppendText(std::vector<std::uint8_t>& record, const std::string& text, std::int8_t code) {
    record.push_back(static_cast<std::uint8_t>(text.size()));
    record.insert(record.end(), text.begin(), text.end());
    record.push_back(static_cast<std::uint8_t>(code));
}

} // namespace

bool NameFileWriter::Reserve(std::size_t length) {
    if (length > kBlockSize) {
        return false;
    }
    const std::size_t used = m_bytes.size() % kBlockSize;
    if (used != 0 && used + length > kBlockSize) {
        m_bytes.resize(m_bytes.size() + (kBlockSize - used), 0);
    }
    return true;
}

std::uint32_t NameFileWriter::Add(const std::string& mainText, std::int8_t mainCode,
                                  const std::vector<NameText>& furtherTexts) {
    if (mainText.size() > 255) {
        return kNoName;
    }
    std::vector<std::uint8_t> record;
    AppendText(record, mainText, mainCode);
    for (const NameText& further : furtherTexts) {
        if (further.text.size() > 255 || further.text.size() == kEndMark) {
            return kNoName;
        }
        AppendText(record, further.text, further.code);
    }
    record.push_back(kEndMark);
    return AddRaw(record);
}

std::uint32_t NameFileWriter::AddAtBlockEnd(const std::vector<std::uint8_t>& bytes) {
    if (!Reserve(bytes.size())) {
        return kNoName;
    }
    const std::size_t blockEnd = (m_bytes.size() / kBlockSize + 1) * kBlockSize;
    m_bytes.resize(blockEnd - bytes.size(), 0);
    return AddRaw(bytes);
}

std::uint32_t NameFileWriter::AddRaw(const std::vector<std::uint8_t>& bytes) {
    if (!Reserve(bytes.size())) {
        return kNoName;
    }
    const auto offset = static_cast<std::uint32_t>(m_bytes.size());
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    return offset;
}

NameFileWriter& NameFileWriter::SetPadLastBlock(bool isPadded) {
    m_isPadded = isPadded;
    return *this;
}

std::vector<std::uint8_t> NameFileWriter::Build() const {
    std::vector<std::uint8_t> file = m_bytes;
    if (m_isPadded && file.size() % kBlockSize != 0) {
        file.resize((file.size() / kBlockSize + 1) * kBlockSize, 0);
    }
    return file;
}

bool NameFileWriter::WriteTo(const std::filesystem::path& hostPath) const {
    return WriteHostFile(hostPath, Build());
}

} // namespace testdata
