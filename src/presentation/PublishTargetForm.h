#pragma once

#include "tree/TreeList.h"

#include <QString>

#include <vector>

namespace corvel {

// The rules of the Publish to Address Book chooser: every contact folder of the main tree,
// by its caption path, in the tree's order; OK answers the folder chosen.
class PublishTargetForm
{
public:
    struct Row
    {
        QString path; // "Store/Folder/Sub-folder"
        NodeHandle folder;
    };

    explicit PublishTargetForm(const TreeList &mainTree);

    [[nodiscard]] static QString caption();
    [[nodiscard]] const std::vector<Row> &rows() const { return m_rows; }
    // False, nothing chosen, for a row there is not.
    bool choose(int row);
    // Null until a row was chosen.
    [[nodiscard]] NodeHandle answer() const { return m_answer; }

private:
    std::vector<Row> m_rows;
    NodeHandle m_answer;
};

} // namespace corvel
