#include "utilities/usefulcode/stdiofile.h"

#include "platform/files/stdio.h"

StdioFile::~StdioFile() {
    Close();
}

void StdioFile::Open(const std::u16string& path, RawFileMode mode) {
    const WCHAR* streamMode = nullptr;
    switch (mode) {
    case RawFileMode::Read:
        streamMode = u"rb";
        break;
    case RawFileMode::Write:
        streamMode = u"wb";
        break;
    case RawFileMode::ReadWrite:
    case RawFileMode::ReadWriteDeleteOnClose:
        streamMode = u"r+b";
        break;
    case RawFileMode::ReadWriteTruncate:
    case RawFileMode::ReadWriteTruncateDeleteOnClose:
        streamMode = u"w+b";
        break;
    default:
        return;
    }
    Close(); // an open stream would otherwise leak
    m_stream = _wfopen(path.c_str(), streamMode);
    if (m_stream == nullptr &&
        (mode == RawFileMode::ReadWrite || mode == RawFileMode::ReadWriteDeleteOnClose)) {
        m_stream = _wfopen(path.c_str(), u"w+b"); // the file does not exist yet
    }
}

LONG StdioFile::Seek(LONG offset, int origin) {
    if (m_stream == nullptr) {
        return -1;
    }
    const int whence =
        origin == kRawSeekBegin ? SEEK_SET : (origin == kRawSeekCurrent ? SEEK_CUR : SEEK_END);
    if (fseek(m_stream, offset, whence) != 0) {
        return -1;
    }
    return Tell();
}

bool StdioFile::Read(void* buffer, DWORD count) {
    if (m_stream == nullptr) {
        return false;
    }
    return fread(buffer, 1, count, m_stream) == count;
}

bool StdioFile::Write(const void* buffer, DWORD count) {
    if (m_stream == nullptr) {
        return false;
    }
    return fwrite(buffer, 1, count, m_stream) == count;
}

LONG StdioFile::Tell() {
    if (m_stream == nullptr) {
        return -1;
    }
    const long position = ftell(m_stream);
    return position < 0 || position > 0x7FFFFFFF ? -1 : static_cast<LONG>(position);
}

int StdioFile::Close() {
    if (m_stream != nullptr) {
        (void)fclose(m_stream); // the stream is gone either way
        m_stream = nullptr;
    }
    return 1;
}
