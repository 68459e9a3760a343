#pragma once
// The stored destination lists ("Recent", "Personal" and "MapSpecific") and their list page:
// AddressPage shows one list modally, lets the user delete entries and, on confirmation,
// resolves the chosen record against the open map set into a country, a city, a street, a house
// number and, for a user-defined point, a route destination. OpenStoredList runs the page and
// hands its results to the destination input's selection. User-interface thread only.

#include "app/destinations/storeddestinationlist.h"
#include "app/modeinterface/destinationtypes.h"
#include "onboard/onboardserver.h"
#include "ui/pagebase.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CustomListBox;

// The point taken last from a stored list (or picked elsewhere), shared by the pages and the
// modes for the whole process. User-interface thread only.
struct PickedDestination {
    std::uint8_t pending = 0; // a point waits to be taken
    std::uint8_t named = 0;   // the point has a name text
    RoutePositionPtr destination;
    std::u16string placeName; // the city the point lies in
    std::u16string nameText;  // the point's name; empty without one

    [[nodiscard]] static PickedDestination& Instance();
    void Clear() { *this = PickedDestination{}; }
};

class AddressPage : public PageBase {
public:
    static constexpr UINT kListId = 100;
    static constexpr UINT kDeleteId = 528;
    static constexpr UINT kCancelId = 320;
    static constexpr UINT kOkId = 1047;
    static constexpr UINT kOtherOkIds[] = {501, 360};
    static constexpr UINT kTitleLabelId = 1;
    // The label of a user-defined point (at most 255 characters).
    static constexpr UINT kUserDefinedLabelId = 1196;
    static constexpr COLORREF kListColour = 0x78571E;
    static constexpr COLORREF kSeparatorColour = 0x8C754A;
    static constexpr COLORREF kSelectedColour = 0x52D7F7;
    // An entry's text is cut to this many characters.
    static constexpr std::size_t kMaxEntryText = 127;

    // file: the list's file, or null (or empty) for the settings file.
    AddressPage(Onboard::OnboardServerPtr server, std::u16string section, UINT titleId,
                UINT ownerPageId, const char16_t* file);
    ~AddressPage() override;

    // The page's caption is the title of the pages it was opened from; the list's own title is
    // its "Title" label.
    [[nodiscard]] UINT GetTitleId() override { return m_ownerPageId; }
    [[nodiscard]] UINT GetOwnerPageId() const { return m_ownerPageId; }

    // Refills the list from the file (as every activation does).
    void FillList();
    // Deletes the selected entry from the list and its file; a list whose file cannot be
    // rewritten keeps the entry, and the user is told.
    void DeleteSelected();
    // Resolves the selected entry into the results, then closes the page.
    void TakeSelected();

    [[nodiscard]] const CountryPtr& GetResultCountry() const { return m_resultCountry; }
    [[nodiscard]] const AddressResultPtr& GetResultCity() const { return m_resultCity; }
    [[nodiscard]] const GeoMoleculePtr& GetResultStreet() const { return m_resultStreet; }
    [[nodiscard]] const std::u16string& GetResultHouseNumber() const { return m_resultHouseNumber; }
    [[nodiscard]] const RoutePositionPtr& GetResultDestination() const {
        return m_resultDestination;
    }
    // Text lines per entry: 2, or 4 once a user-defined entry was listed; more when an entry's
    // text has more lines (a country line above them).
    [[nodiscard]] int GetLineCount() const { return m_lineCount; }
    [[nodiscard]] CustomListBox* GetListBox() const { return m_listBox.get(); }
    [[nodiscard]] OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }

private:
    void OnCreate(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnSize(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnCommand(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnNotify(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnKeyDown(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnSetFocus(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnDrawItem(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnActivate(UINT, WPARAM, LPARAM, LRESULT*, bool*);

    [[nodiscard]] std::u16string EntryText(const std::u16string& record,
                                           const RetrievalEngine::RetrievalEnginePtr& engine,
                                           std::uint16_t language);
    [[nodiscard]] std::u16string CountryPrefix(const RetrievalEngine::RetrievalEnginePtr& engine,
                                               std::uint16_t language, float x, float y);
    void Resolve(const std::u16string& record);
    // A street record: the street near the point (shortened word by word); true when found.
    bool ResolveStreet(float x, float y, const std::u16string& street, const std::u16string& place);
    // A user-defined record: the destination at the named point of interest near the point, or
    // at the point itself, noting the areas of its element. False when the element of the
    // position destination cannot be fetched.
    bool ResolvePoint(const RetrievalEngine::RetrievalEnginePtr& engine, float x, float y,
                      const std::u16string& name, std::vector<std::int32_t>& notedAreas);
    void ResolveCity(const RetrievalEngine::RetrievalEnginePtr& engine, const std::u16string& place,
                     const std::vector<std::int32_t>& notedAreas, bool isUserDefined);
    [[nodiscard]] int GetCurSel() const;
    void SetCurSel(int index);
    void MoveSelection(int step);
    void ClosePage();

    OwnerHandlerList m_handlers;
    Onboard::OnboardServerPtr m_server;
    std::unique_ptr<CustomListBox> m_listBox;
    std::u16string m_section;
    std::u16string m_file;
    UINT m_titleId;
    UINT m_ownerPageId;
    HGDIOBJ m_separatorPen = nullptr;
    int m_lineCount = 2;
    HWND m_gpsIndicator = nullptr;
    HWND m_tmcIndicator = nullptr;
    CountryPtr m_resultCountry;
    AddressResultPtr m_resultCity;
    GeoMoleculePtr m_resultStreet;
    std::u16string m_resultHouseNumber;
    RoutePositionPtr m_resultDestination;
    HFONT m_listFont = nullptr;
    std::optional<StoredDestinationList> m_list;
    bool m_isUnusableToldOf = false;
    // Looked up once per filling: country names by number (none: no such country), the label of
    // user-defined entries.
    std::map<std::uint16_t, std::optional<std::u16string>> m_countryNames;
    std::optional<std::u16string> m_userDefinedLabel;
};

// Shows page (making its window on first use) and runs the thread's messages until a WM_CLOSE
// addressed to its window arrives (not dispatched), then hides it. False when the loop ended on
// WM_QUIT, which is posted again for the loop outside.
bool RunPageModal(PageBase& page);

// The "data.ini" of the first database the server reports as selected: its folder followed by
// "\data.ini"; only "\data.ini" when none is.
[[nodiscard]] std::u16string GetMapSpecificListPath(const Onboard::OnboardServerPtr& server);

// Runs an AddressPage over the list and, when it resolved a city, copies its results into
// selection (country, city, street, house number, point destination) and returns true. file:
// null for the settings file.
bool OpenStoredList(DestinationDescription& selection, const Onboard::OnboardServerPtr& server,
                    const std::u16string& section, UINT titleId, UINT ownerPageId,
                    const char16_t* file);
