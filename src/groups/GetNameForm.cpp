#include "groups/GetNameForm.h"

namespace corvel {

GetNameForm::GetNameForm(QString initialText, QString caption)
    : m_caption(std::move(caption))
    , m_text(std::move(initialText))
{
}

void GetNameForm::accept()
{
    if (okEnabled())
        m_answer = m_text;
}

} // namespace corvel
