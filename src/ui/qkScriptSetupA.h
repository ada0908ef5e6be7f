// qkScriptSetupA: the component panel as the user sees it in the test
// window: labels, check boxes, option buttons and drop-down lists placed
// where the component script puts them, over the script's panel model.
#pragma once

#include "script/ComponentPanel.h"

#include <QScrollArea>

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

class QAbstractButton;
class QComboBox;
class QLabel;

// The controls show the panel model and nothing else: a click or a choice
// goes to the model's events, after which every control takes the model's
// state again. Controls are kept from one load to the next and only what
// changed is touched, so that a reload on every keystroke stays cheap. The
// panel scrolls when the script places entries beyond its area.
class qkScriptSetupA : public QScrollArea {
    Q_OBJECT

  public:
    explicit qkScriptSetupA(QWidget* parent = nullptr);

    // Builds the panel from the script and the numbered texts (entry n - 1
    // is text number n); true when at least one element ID was given out.
    bool LoadScript(const std::string& script, std::span<const std::string> strings,
                    int32_t stringCount);
    // The selection: the 64 element values as character codes.
    std::string GetScriptValues() const { return model_.GetScriptValues(); }

    const ScriptPanelModel& Model() const { return model_; }

    // Control k (from 1) of a kind; null when the panel has no such control.
    QLabel* eLabel(int k) const;
    QAbstractButton* eCheck(int k) const;
    QAbstractButton* eOption(int k) const;
    QComboBox* eCombo(int k) const;
    // The surface the controls sit on (it scrolls inside the panel).
    QWidget* Surface() const { return surface_; }
    // The last control that Tab reaches, for the host to continue the tab
    // order after it; null when the panel has none.
    QWidget* LastTabStop() const;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    QWidget* control(ElementKind kind, int k) const;
    QWidget* createControl(ElementKind kind, int k);
    void matchControlCount(ElementKind kind);
    void showState(ElementKind kind, int k);
    void showAllStates();
    void placeControls();
    void orderTabs();

    ScriptPanelModel model_;
    QWidget* surface_;
    QObject* wheelToPanel_;
    std::array<std::vector<QWidget*>, kKindCount> controls_;
};
