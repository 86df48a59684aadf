#pragma once

#include "history/view/history_feature.h"
#include "history/view/history_panel.h"
#include "seams/subsystems.h"

// The history's side of the main window's seams. Each wraps the seam object of the other parts
// (or none) and answers only what belongs to the history, passing everything else on.
namespace history {

class HistoryListViews final : public seams::ListViews {
public:
    explicit HistoryListViews(HistoryFeature &feature, seams::ListViews *others = nullptr)
        : m_feature(feature), m_others(others ? others : &m_none) {}

    void refreshHistoryPage() override { m_feature.refreshHistoryPage(); }
    void refreshPendingReports(const QString &login, const QString &pass) override
    {
        m_feature.refreshPendingReports(login, pass);
    }
    void refreshContactList(bool reload) override { m_others->refreshContactList(reload); }
    void refreshGroupList() override { m_others->refreshGroupList(); }
    void refreshTemplateList() override { m_others->refreshTemplateList(); }
    bool isBookEmpty() const override { return m_others->isBookEmpty(); }
    bool hasNoTemplates() const override { return m_others->hasNoTemplates(); }

private:
    HistoryFeature &m_feature;
    seams::ListViews m_none;
    seams::ListViews *m_others;
};

class HistoryPanels final : public seams::Panels {
public:
    explicit HistoryPanels(HistoryFeature &feature, seams::Panels *others = nullptr)
        : m_feature(feature), m_others(others ? others : &m_none) {}

    QWidget *historyPanel() override { return m_feature.panel(); }
    QWidget *contactsPanel() override { return m_others->contactsPanel(); }
    QWidget *groupsPanel() override { return m_others->groupsPanel(); }
    QWidget *templatesPanel() override { return m_others->templatesPanel(); }
    void bindShowNamesItem(QAction *item) override { m_feature.bindShowNamesItem(item); }

private:
    HistoryFeature &m_feature;
    seams::Panels m_none;
    seams::Panels *m_others;
};

} // namespace history
