// The fixed texts of the pair table that tgramest writes beside
// ExpTgrams.txt and tgramplot reads back, spelled once for both.
#pragma once

namespace tgram::model {

// The pair table beside an output file takes this in place of its
// extension; beside ExpTgrams.txt it is kDefaultPairTable.
inline constexpr const char* kPairTableExtension = ".pairs.csv";
inline constexpr const char* kDefaultPairTable = "ExpTgrams.pairs.csv";

// The comment line that gives the least number of pairs a lag class needed.
inline constexpr const char* kMinPairsComment = "# min pairs: ";
// The headers of the category rows and of the pair rows.
inline constexpr const char* kCategoryHeader = "category,label,samples,proportion";
inline constexpr const char* kPairHeader =
    "lag,distance_from,distance_to,mean_distance,from,to,n_ij,n_i,p_ij,standard_error,status";
// The status of the lag 0 rows, which are not estimated from the data.
inline constexpr const char* kNotEstimated = "not estimated";

}  // namespace tgram::model
