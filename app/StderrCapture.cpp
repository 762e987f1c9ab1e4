#include "app/StderrCapture.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace pxhost {

StderrCapture::StderrCapture() {
    FILE* f = std::tmpfile();
    if (f) {
        m_file = dup(fileno(f));
        std::fclose(f);
    }
}

StderrCapture::~StderrCapture() {
    if (m_saved >= 0) end();
    if (m_file >= 0) close(m_file);
}

void StderrCapture::begin() {
    if (m_file < 0 || m_saved >= 0) return;  // without a capture file, messages go straight out
    std::cerr.flush();
    std::fflush(stderr);
    if (ftruncate(m_file, 0) != 0 || lseek(m_file, 0, SEEK_SET) != 0) return;
    m_saved = dup(STDERR_FILENO);
    if (m_saved < 0) return;
    dup2(m_file, STDERR_FILENO);
}

std::string StderrCapture::end() {
    if (m_saved < 0) return {};
    std::cerr.flush();
    std::fflush(stderr);
    dup2(m_saved, STDERR_FILENO);
    close(m_saved);
    m_saved = -1;
    std::string text;
    const off_t size = lseek(m_file, 0, SEEK_CUR);
    if (size > 0) {
        // More than a page of messages in one frame is cut: what matters is at the start.
        text.resize(static_cast<size_t>(size < 4096 ? size : 4096));
        const ssize_t got = pread(m_file, text.data(), text.size(), 0);
        text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    }
    return text;
}

}  // namespace pxhost
