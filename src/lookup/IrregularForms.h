// Irregular English forms and their bases (went -> go, children -> child, better -> good),
// written for this program.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kelvara {

// The bases of a lower-case ASCII form, most likely first; empty when the form is not irregular.
std::vector<std::string_view> IrregularBases(std::string_view lowerForm);

// How many form-to-base pairs the table holds.
std::size_t IrregularFormCount();

}  // namespace kelvara
