// The scale input window: one scale's address, port, name and model, entered for "Add" or
// changed for "Edit". It checks only that the address and port can be reached; the
// configuration window makes every other check.
#pragma once

#include <QDialog>

#include <string>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace ostrel {

class IpAddressEdit;
class MessageSink;

struct ScaleInputTexts
{
    std::string address; // dotted, as the address control gives it
    std::string port;
    std::string name;    // code-page bytes
    std::string model;   // as chosen or typed
    std::string version; // passes through unchanged
};

class CScaleInputDlg final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CScaleInputDlg)

public:
    static constexpr int kIpId = 1007;
    static constexpr int kPortId = 1006;
    static constexpr int kNameId = 1008;
    static constexpr int kModelId = 1009;
    static constexpr int kVersionLabelId = 1056;
    static constexpr int kVersionId = 1057;

    CScaleInputDlg(MessageSink& messages, QWidget* parent = nullptr);

    // Fills the controls for opening; `editMode` when opened by "Edit".
    void open(const ScaleInputTexts& texts, bool editMode);
    using QDialog::open; // the window-modal open() stays usable beside this one
    // The texts as OK took them (those of opening after Cancel).
    const ScaleInputTexts& texts() const { return m_texts; }

    void accept() override;

private:
    MessageSink& m_messages;
    ScaleInputTexts m_texts;
    IpAddressEdit* m_address;
    QLineEdit* m_port;
    QLineEdit* m_name;
    QComboBox* m_model;
    QLineEdit* m_version;
    QPushButton* m_ok;
};

} // namespace ostrel
