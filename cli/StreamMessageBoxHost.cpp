#include "cli/StreamMessageBoxHost.h"

StreamMessageBoxHost::StreamMessageBoxHost(std::ostream& stream)
    : m_stream(stream), m_previous(SetMessageBoxHost(this)) {}

StreamMessageBoxHost::~StreamMessageBoxHost() { SetMessageBoxHost(m_previous); }

int StreamMessageBoxHost::ShowMessageBox(const CString& text, const CString& /*caption*/, unsigned /*style*/) {
    m_stream << text.Str() << '\n';
    m_stream.flush();
    return kIdOk;
}
