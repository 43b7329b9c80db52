#pragma once

class QLabel;
class QWidget;

namespace corvel {

// The line under a dialog's fields that says why OK is not yet possible. Its room is kept
// whether a reason shows or not, so the dialog neither grows nor jumps as the user types.
[[nodiscard]] QLabel *newProblemLabel(QWidget *parent);

} // namespace corvel
