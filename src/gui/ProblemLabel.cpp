#include "gui/ProblemLabel.h"

#include <QLabel>

namespace corvel {

QLabel *newProblemLabel(QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setStyleSheet(QStringLiteral("color: #a00000"));
    label->setWordWrap(true);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    label->setFixedHeight(2 * label->fontMetrics().lineSpacing());
    return label;
}

} // namespace corvel
