// Keeps a rule text edit within the 99 bytes a rule text holds in the code page: typing past the
// limit is refused and a pasted text is cut where it was inserted.
#pragma once

#include <QValidator>

namespace ostrel {

class RuleTextValidator final : public QValidator
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RuleTextValidator)

public:
    explicit RuleTextValidator(QObject* parent = nullptr);
    ~RuleTextValidator() override;

    State validate(QString& input, int& pos) const override;
};

} // namespace ostrel
