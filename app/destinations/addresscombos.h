#pragma once
// The entries behind the destination input's four combo boxes: the countries and the categories
// are read whole, the cities and the streets are search results pulled from the engine's cursor
// only as far as the list shows them, eight proposals at a time. Each object talks to its combo
// box through the CB_ messages of its window. User-interface thread only.

#include "app/destinations/poicategory.h"
#include "onboard/onboardserver.h"

#include "platform/types.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Proposal texts are cut to this many characters.
inline constexpr std::size_t kMaxProposalText = 127;
// Proposals added to a list at a time.
inline constexpr int kProposalsPerStep = 8;
// Typed texts are read up to this many characters; from kNoSearchLength on no new search runs.
inline constexpr int kMaxTypedText = 31;
inline constexpr std::size_t kNoSearchLength = 16;
// Street elements of this type code are never proposed.
inline constexpr std::int32_t kHiddenStreetType = 1010;
// At most this many countries or categories are added to a list.
inline constexpr int kMaxListNames = 1000;

// "name", " (qualifier)" when there is one that is not the name itself, ", area" unless the text
// starts with a digit or the area name is empty; cut to kMaxProposalText characters.
[[nodiscard]] std::u16string ComposeProposal(const std::u16string& name,
                                             const std::u16string& qualifier,
                                             const std::u16string& areaName);

class CountryComboBox {
public:
    CountryComboBox(HWND combo, Onboard::OnboardServerPtr server);

    // Reads the countries of the server's language (number 0 first, the rest by name) and
    // selects the one stored as "LastKnownCountry".
    void Fill();
    // Selects the first country with the number, or the first country when none has it, and
    // stores its number as "LastKnownCountry". Nothing without countries.
    void SelectByNumber(std::uint16_t number);
    void AddNames(std::size_t first);
    bool GetAt(int index, CountryPtr& entry) const;
    [[nodiscard]] std::size_t GetCount() const { return m_entries.size(); }

private:
    HWND m_combo;
    Onboard::OnboardServerPtr m_server;
    std::vector<CountryPtr> m_entries;
};

class CityComboBox {
public:
    // country: the selected country, read at each search (country 0 while empty).
    CityComboBox(HWND combo, Onboard::OnboardServerPtr server, const CountryPtr* country);

    void Complete();
    void Search(const std::u16string& prefix);
    void AddProposals(int first);
    void LoadMoreIfLast();
    bool GetAt(int index, AddressResultPtr& entry);
    void SetSingle(const AddressResultPtr& city);
    void Clear();
    [[nodiscard]] bool HasCursor() const { return static_cast<bool>(m_cursor); }
    [[nodiscard]] std::size_t GetPulledCount() const { return m_entries.size(); }

private:
    [[nodiscard]] std::u16string AreaNameOf(const AddressResultPtr& city);

    HWND m_combo;
    Onboard::OnboardServerPtr m_server;
    const CountryPtr* m_country;
    AddressCursorPtr m_cursor;
    std::vector<AddressResultPtr> m_entries;
};

class StreetComboBox {
public:
    // city: the selected city, replaced by the address of its element at each search.
    StreetComboBox(HWND combo, HWND houseNumberEdit, Onboard::OnboardServerPtr server,
                   AddressResultPtr* city);

    // Empties list, texts and house number; searches every street of the selected city, or
    // leaves the box disabled for a city without streets of its own.
    void Reset();
    void Complete();
    void Search(const std::u16string& prefix);
    void AddProposals(int first);
    void LoadMoreIfLast();
    bool GetAt(int index, GeoMoleculePtr& entry);
    void SetSingle(const GeoMoleculePtr& street);
    void Clear();
    [[nodiscard]] bool HasCursor() const { return static_cast<bool>(m_cursor); }
    [[nodiscard]] PoiCategory& Category() { return m_category; }

private:
    HWND m_combo;
    HWND m_houseNumberEdit;
    AddressResultPtr* m_city;
    PoiCategory m_category;
    Onboard::OnboardServerPtr m_server;
    GeoMoleculeCursorPtr m_cursor;
    std::vector<GeoMoleculePtr> m_entries;
};

class CategoryComboBox {
public:
    CategoryComboBox(HWND combo, Onboard::OnboardServerPtr server);

    void AddNames(std::size_t first);
    void LoadMoreIfLast();
    [[nodiscard]] std::vector<PoiCategory>& Categories() { return m_categories; }

private:
    HWND m_combo;
    std::vector<PoiCategory> m_categories;
    Onboard::OnboardServerPtr m_server;
};
