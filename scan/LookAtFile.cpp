#include "LookAtFile.h"

#include "LookAtDocument.h"

namespace vantrell {

CLookAtFile::CLookAtFile(std::string_view fileName) : m_file(fileName) {}

void CLookAtFile::WritePoint(float latitude, float longitude, std::int32_t range)
{
    char document[kLookAtDocumentMax];
    const std::size_t size = FormatLookAt(document, latitude, longitude, range);
    const std::lock_guard<std::mutex> hold(m_writing);
    if (m_frozen)
        return;
    if (m_file.Replace(document, size))
        m_written.fetch_add(1, std::memory_order_relaxed);
}

void CLookAtFile::Freeze()
{
    const std::lock_guard<std::mutex> hold(m_writing);
    m_frozen = true;
}

CLookAtFile& ProgramLookAtFile()
{
    static CLookAtFile* const file = new CLookAtFile;
    return *file;
}

} // namespace vantrell
