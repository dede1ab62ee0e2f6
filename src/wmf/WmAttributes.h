// Names of header attributes, reader output settings, writer input settings
// and codec properties, as the public SDK spells them.
#pragma once

#include "win/WinTypes.h"

// Header attributes (IWMHeaderInfo). Stream 0 holds the file's own.
inline constexpr const WCHAR* g_wszWMDuration = u"Duration";  // QWORD, 100 ns
inline constexpr const WCHAR* g_wszWMBitrate = u"Bitrate";
inline constexpr const WCHAR* g_wszWMSeekable = u"Seekable";
inline constexpr const WCHAR* g_wszWMStridable = u"Stridable";
inline constexpr const WCHAR* g_wszWMBroadcast = u"Broadcast";
inline constexpr const WCHAR* g_wszWMProtected = u"Is_Protected";
inline constexpr const WCHAR* g_wszWMTrusted = u"Is_Trusted";
inline constexpr const WCHAR* g_wszWMHasAudio = u"HasAudio";
inline constexpr const WCHAR* g_wszWMHasVideo = u"HasVideo";
inline constexpr const WCHAR* g_wszWMHasImage = u"HasImage";
inline constexpr const WCHAR* g_wszWMHasScript = u"HasScript";
inline constexpr const WCHAR* g_wszWMFileSize = u"FileSize";
inline constexpr const WCHAR* g_wszWMNumberOfFrames = u"NumberOfFrames";
inline constexpr const WCHAR* g_wszWMIsVBR = u"IsVBR";
inline constexpr const WCHAR* g_wszWMTitle = u"Title";
inline constexpr const WCHAR* g_wszWMAuthor = u"Author";
inline constexpr const WCHAR* g_wszWMDescription = u"Description";
inline constexpr const WCHAR* g_wszWMRating = u"Rating";
inline constexpr const WCHAR* g_wszWMCopyright = u"Copyright";
inline constexpr const WCHAR* g_wszWMAlbumTitle = u"WM/AlbumTitle";
inline constexpr const WCHAR* g_wszWMAlbumArtist = u"WM/AlbumArtist";
inline constexpr const WCHAR* g_wszWMGenre = u"WM/Genre";
inline constexpr const WCHAR* g_wszWMYear = u"WM/Year";
inline constexpr const WCHAR* g_wszWMTrackNumber = u"WM/TrackNumber";
inline constexpr const WCHAR* g_wszWMToolName = u"WM/ToolName";
inline constexpr const WCHAR* g_wszWMToolVersion = u"WM/ToolVersion";
inline constexpr const WCHAR* g_wszWMEncodingTime = u"WM/EncodingTime";
inline constexpr const WCHAR* g_wszWMPicture = u"WM/Picture";
// Per video stream: the pixel aspect ratio (DWORD each).
inline constexpr const WCHAR* g_wszWMAspectRatioX = u"AspectRatioX";
inline constexpr const WCHAR* g_wszWMAspectRatioY = u"AspectRatioY";

// Reader output settings (IWMSyncReader::SetOutputSetting).
inline constexpr const WCHAR* g_wszEnableDiscreteOutput = u"EnableDiscreteOutput";  // BOOL
inline constexpr const WCHAR* g_wszSpeakerConfig = u"SpeakerConfig";  // DWORD
inline constexpr const WCHAR* g_wszAllowInterlacedOutput = u"AllowInterlacedOutput";  // BOOL
inline constexpr const WCHAR* g_wszDeinterlaceMode = u"DeinterlaceMode";
inline constexpr const WCHAR* g_wszVideoSampleDurations = u"VideoSampleDurations";
inline constexpr const WCHAR* g_wszJustInTimeDecode = u"JustInTimeDecode";
inline constexpr const WCHAR* g_wszSingleOutputBuffer = u"SingleOutputBuffer";
inline constexpr const WCHAR* g_wszSoftwareScaling = u"SoftwareScaling";

// Writer input settings (IWMWriterAdvanced2::SetInputSetting).
inline constexpr const WCHAR* g_wszInterlacedCoding = u"InterlacedCoding";  // BOOL
inline constexpr const WCHAR* g_wszFixedFrameRate = u"FixedFrameRate";

// Stream encoding properties (IWMPropertyVault of a stream configuration).
inline constexpr const WCHAR* g_wszVBREnabled = u"_VBRENABLED";  // BOOL
inline constexpr const WCHAR* g_wszVBRQuality = u"_VBRQUALITY";  // DWORD, 0-100
inline constexpr const WCHAR* g_wszVBRBitrateMax = u"_RMAX";  // DWORD, bit/s
inline constexpr const WCHAR* g_wszVBRBufferWindowMax = u"_BMAX";  // DWORD, ms
inline constexpr const WCHAR* g_wszComplexity = u"_COMPLEXITYEX";

// Codec properties and enumeration settings (IWMCodecInfo3).
inline constexpr const WCHAR* g_wszNumPasses = u"_PASSESUSED";  // DWORD
inline constexpr const WCHAR* g_wszIsVBRSupported = u"_ISVBRSUPPORTED";  // BOOL
inline constexpr const WCHAR* g_wszComplexityMax = u"_COMPLEXITYEXMAX";
inline constexpr const WCHAR* g_wszComplexityOffline = u"_COMPLEXITYEXOFFLINE";
inline constexpr const WCHAR* g_wszComplexityLive = u"_COMPLEXITYEXLIVE";
inline constexpr const WCHAR* g_wszVBRPeak = u"VBR Peak";
inline constexpr const WCHAR* g_wszBufferAverage = u"Buffer Average";
