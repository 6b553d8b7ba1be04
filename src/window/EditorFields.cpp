#include "EditorFields.h"

#include "tag/clsID3.h"

#include <iterator>

namespace brindle {

namespace {
constexpr auto B = EditorPage::Basic;
constexpr auto A = EditorPage::Advanced;
constexpr auto U = EditorPage::Urls;
constexpr auto Line = FieldControl::Line;
constexpr auto Text = FieldControl::Text;
constexpr auto Combo = FieldControl::Combo;
constexpr auto UrlList = FieldControl::UrlList;
} // namespace

const FieldSpec kFieldSpecs[] = {
    {"chkTitle", "Title:", "txtTitle", B, Line, &clsID3::Title, ApplyRule::Text, true},
    {"chkArtist", "Artist:", "txtArtist", B, Line, &clsID3::Artist, ApplyRule::Text, true},
    {"chkAlbum", "Album:", "txtAlbum", B, Line, &clsID3::Album, ApplyRule::Text, true},
    {"chkGenre", "Genre:", "cmbGenre", B, Combo, &clsID3::Genre, ApplyRule::Genre, true},
    {"chkTrack", "Track:", "txtTrackNumber", B, Line, &clsID3::TrackNumber, ApplyRule::Track, true},
    {"chkTrackof", "of", "txtTracksTotal", B, Line, &clsID3::TracksTotal, ApplyRule::Text, true},
    {"chkYear", "Year:", "txtYear", B, Line, &clsID3::Year, ApplyRule::Text, true},
    {"chkComments", "Comments:", "txtComments", B, Text, &clsID3::Comments, ApplyRule::Text, true},
    {"chkLyrics", "Lyrics:", "txtLyrics", B, Text, &clsID3::Lyrics, ApplyRule::Text, true},

    {"chkComposer", "Composer:", "txtComposer", A, Line, &clsID3::Composer, ApplyRule::Text, false},
    {"chkBand", "Band/Orchestra:", "txtBand", A, Line, &clsID3::Band, ApplyRule::Text, false},
    {"chkConductor", "Conductor:", "txtConductor", A, Line, &clsID3::Conductor, ApplyRule::Text, false},
    {"chkInterpreted", "Interpreted by:", "txtInterpretedBy", A, Line, &clsID3::InterpretedBy, ApplyRule::Text, false},
    {"chkLyricist", "Lyricist:", "txtLyricist", A, Line, &clsID3::Lyricist, ApplyRule::Text, false},
    {"chkOriginalArtist", "Original Artist:", "txtOriginalArtist", A, Line, &clsID3::OriginalArtist, ApplyRule::Text,
     false},
    {"chkOriginalAlbum", "Original Album:", "txtOriginalAlbum", A, Line, &clsID3::OriginalAlbum, ApplyRule::Text,
     false},
    {"chkOriginalFilename", "Original Filename:", "txtOriginalFileName", A, Line, &clsID3::OriginalFileName,
     ApplyRule::Text, false},
    {"chkOriginalLyricist", "Original Lyricist:", "txtOriginalLyricist", A, Line, &clsID3::OriginalLyricist,
     ApplyRule::Text, false},
    {"chkOriginalReleaseYear", "Original Release Year:", "txtOriginalReleaseYear", A, Line,
     &clsID3::OriginalReleaseYear, ApplyRule::Text, false},
    {"chkCopyright", "Copyright:", "txtCopyright", A, Line, &clsID3::Copyright, ApplyRule::Text, false},
    {"chkFileOwner", "File Owner/Licensee:", "txtFileOwner", A, Line, &clsID3::FileOwner, ApplyRule::Text, false},
    {"chkPublisher", "Publisher:", "txtPublisher", A, Line, &clsID3::Publisher, ApplyRule::Text, false},
    {"chkNetStationName", "Net Radio Stn. Name:", "txtInternetRadioStationName", A, Line,
     &clsID3::InternetRadioStationName, ApplyRule::Text, false},
    {"chkNetRadioOwner", "Net Radio Stn. Owner:", "txtInternetRadioStationOwner", A, Line,
     &clsID3::InternetRadioStationOwner, ApplyRule::Text, false},
    {"chkISRC", "ISRC:", "txtISRC", A, Line, &clsID3::ISRC, ApplyRule::Text, false},
    {"chkLanguages", "Languages:", "txtLanguages", A, Line, &clsID3::Languages, ApplyRule::Text, false},
    {"chkEncodedby", "Encoded by:", "txtEncodedBy", A, Line, &clsID3::EncodedBy, ApplyRule::Text, false},
    {"chkBPM", "BPM:", "txtBPM", A, Line, &clsID3::BeatsPerMinute, ApplyRule::Text, false},
    {"chkInitialKey", "Initial Key:", "cmbKey", A, Combo, &clsID3::InitialKey, ApplyRule::Text, false},
    {"chkDisc", "Disc:", "txtDiscNumber", A, Line, &clsID3::DiscNumber, ApplyRule::Disc, false},
    {"", "of", "txtDiscsTotal", A, Line, &clsID3::DiscsTotal, ApplyRule::None, false},

    {"chkCommercialInfoURL", "Commercial Info URL:", "txtCommercialInfo", U, UrlList, nullptr,
     ApplyRule::CommercialUrls, false},
    {"chkCopyrightInfoURL", "Copyright Info URL:", "txtCopyrightInfo", U, Line, &clsID3::CopyrightInfo, ApplyRule::Text,
     false},
    {"chkAudioURL", "Audio URL:", "txtAudioURL", U, Line, &clsID3::AudioURL, ApplyRule::Text, false},
    {"chkArtistURL", "Artist URL:", "txtArtistURL", U, UrlList, nullptr, ApplyRule::ArtistUrls, false},
    {"chkAudioSourceURL", "Audio Source URL:", "txtAudioSourceURL", U, Line, &clsID3::AudioSourceURL, ApplyRule::Text,
     false},
    {"chkNetRadioStationURL", "Net Radio Station URL:", "txtInternetRadioStationURL", U, Line,
     &clsID3::InternetRadioURL, ApplyRule::Text, false},
    {"chkPaymentURL", "Payment URL:", "txtPaymentURL", U, Line, &clsID3::PaymentURL, ApplyRule::Text, false},
    {"chkPublisherURL", "Publisher URL:", "txtPublisherURL", U, Line, &clsID3::PublisherURL, ApplyRule::Text, false},
};

const int kFieldSpecCount = static_cast<int>(std::size(kFieldSpecs));

} // namespace brindle
