// Identifiers of the Windows Media Format runtime: media types, subtypes,
// format types, sample properties, mutual exclusion types and interface ids,
// with the values of the public SDK.
#pragma once

#include "win/Guid.h"

// The subtype of a four-character code or WAVE format tag: the code in the
// first field of {XXXXXXXX-0000-0010-8000-00AA00389B71}. 'WMV2' is
// 0x32564D57 (first character in the lowest byte), tag 0x0161 is 0x00000161.
constexpr GUID GuidFromFourCC(uint32_t fourCC) noexcept {
    return GUID{fourCC, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
}

// Whether a GUID has that form; its code is then guid.Data1.
constexpr bool IsFourCCGuid(const GUID& guid) noexcept {
    return guid == GuidFromFourCC(guid.Data1);
}

// 'W','M','V','2' -> 0x32564D57.
constexpr uint32_t MakeFourCC(char c0, char c1, char c2, char c3) noexcept {
    return static_cast<uint32_t>(static_cast<uint8_t>(c0)) |
           static_cast<uint32_t>(static_cast<uint8_t>(c1)) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(c2)) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(c3)) << 24;
}

// Major types.
inline constexpr GUID WMMEDIATYPE_Video = GuidFromFourCC(MakeFourCC('v', 'i', 'd', 's'));
inline constexpr GUID WMMEDIATYPE_Audio = GuidFromFourCC(MakeFourCC('a', 'u', 'd', 's'));
inline constexpr GUID WMMEDIATYPE_Script = GuidFromFourCC(MakeFourCC('d', 'm', 'c', 's'));
inline constexpr GUID WMMEDIATYPE_Image{0x34A50FD8, 0x8AA5, 0x4386,
                                        {0x81, 0xFE, 0xA0, 0xEF, 0xE0, 0x48, 0x8E, 0x31}};
inline constexpr GUID WMMEDIATYPE_FileTransfer{0xD9E47579, 0x930E, 0x4427,
                                               {0xAD, 0xFC, 0xAD, 0x80, 0xF2, 0x90, 0xE4, 0x70}};
inline constexpr GUID WMMEDIATYPE_Text{0x9BBA1EA7, 0x5AB2, 0x4829,
                                       {0xBA, 0x57, 0x09, 0x40, 0x20, 0x9B, 0xCF, 0x3E}};
inline constexpr const GUID& MEDIATYPE_Video = WMMEDIATYPE_Video;
inline constexpr const GUID& MEDIATYPE_Audio = WMMEDIATYPE_Audio;
// Audio the layer delivers as it is stored (no decoder) has this major type.
inline constexpr GUID MEDIATYPE_Stream{0xE436EB83, 0x524F, 0x11CE,
                                       {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};

// Format types.
inline constexpr GUID WMFORMAT_VideoInfo{0x05589F80, 0xC356, 0x11CE,
                                         {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};
inline constexpr GUID WMFORMAT_WaveFormatEx{0x05589F81, 0xC356, 0x11CE,
                                            {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};
inline constexpr GUID WMFORMAT_Script{0x5C8510F2, 0xDEBE, 0x4CA7,
                                      {0xBB, 0xA5, 0xF0, 0x7A, 0x10, 0x4F, 0x8D, 0xFF}};
inline constexpr const GUID& FORMAT_VideoInfo = WMFORMAT_VideoInfo;
inline constexpr const GUID& FORMAT_WaveFormatEx = WMFORMAT_WaveFormatEx;
inline constexpr GUID WMSCRIPTTYPE_TwoStrings{0x82F38A70, 0xC29F, 0x11D1,
                                              {0x97, 0xAD, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50}};

// Uncompressed video subtypes.
inline constexpr GUID WMMEDIASUBTYPE_NV12 = GuidFromFourCC(MakeFourCC('N', 'V', '1', '2'));
inline constexpr GUID WMMEDIASUBTYPE_YV12 = GuidFromFourCC(MakeFourCC('Y', 'V', '1', '2'));
inline constexpr GUID WMMEDIASUBTYPE_IYUV = GuidFromFourCC(MakeFourCC('I', 'Y', 'U', 'V'));
inline constexpr GUID WMMEDIASUBTYPE_I420 = GuidFromFourCC(MakeFourCC('I', '4', '2', '0'));
inline constexpr GUID WMMEDIASUBTYPE_YUY2 = GuidFromFourCC(MakeFourCC('Y', 'U', 'Y', '2'));
inline constexpr GUID WMMEDIASUBTYPE_UYVY = GuidFromFourCC(MakeFourCC('U', 'Y', 'V', 'Y'));
inline constexpr GUID WMMEDIASUBTYPE_YVYU = GuidFromFourCC(MakeFourCC('Y', 'V', 'Y', 'U'));
inline constexpr GUID WMMEDIASUBTYPE_RGB565{0xE436EB7B, 0x524F, 0x11CE,
                                            {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID WMMEDIASUBTYPE_RGB555{0xE436EB7C, 0x524F, 0x11CE,
                                            {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID WMMEDIASUBTYPE_RGB24{0xE436EB7D, 0x524F, 0x11CE,
                                           {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID WMMEDIASUBTYPE_RGB32{0xE436EB7E, 0x524F, 0x11CE,
                                           {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr const GUID& MEDIASUBTYPE_NV12 = WMMEDIASUBTYPE_NV12;
inline constexpr const GUID& MEDIASUBTYPE_YV12 = WMMEDIASUBTYPE_YV12;
inline constexpr const GUID& MEDIASUBTYPE_IYUV = WMMEDIASUBTYPE_IYUV;
inline constexpr const GUID& MEDIASUBTYPE_I420 = WMMEDIASUBTYPE_I420;
inline constexpr const GUID& MEDIASUBTYPE_YUY2 = WMMEDIASUBTYPE_YUY2;
inline constexpr const GUID& MEDIASUBTYPE_UYVY = WMMEDIASUBTYPE_UYVY;
inline constexpr const GUID& MEDIASUBTYPE_YVYU = WMMEDIASUBTYPE_YVYU;
inline constexpr const GUID& MEDIASUBTYPE_RGB565 = WMMEDIASUBTYPE_RGB565;
inline constexpr const GUID& MEDIASUBTYPE_RGB555 = WMMEDIASUBTYPE_RGB555;
inline constexpr const GUID& MEDIASUBTYPE_RGB24 = WMMEDIASUBTYPE_RGB24;
inline constexpr const GUID& MEDIASUBTYPE_RGB32 = WMMEDIASUBTYPE_RGB32;

// Compressed video subtypes.
inline constexpr GUID WMMEDIASUBTYPE_WMV1 = GuidFromFourCC(MakeFourCC('W', 'M', 'V', '1'));
inline constexpr GUID WMMEDIASUBTYPE_WMV2 = GuidFromFourCC(MakeFourCC('W', 'M', 'V', '2'));
inline constexpr GUID WMMEDIASUBTYPE_WMV3 = GuidFromFourCC(MakeFourCC('W', 'M', 'V', '3'));
inline constexpr GUID WMMEDIASUBTYPE_WVC1 = GuidFromFourCC(MakeFourCC('W', 'V', 'C', '1'));
inline constexpr GUID WMMEDIASUBTYPE_WMVA = GuidFromFourCC(MakeFourCC('W', 'M', 'V', 'A'));
inline constexpr GUID WMMEDIASUBTYPE_MP42 = GuidFromFourCC(MakeFourCC('M', 'P', '4', '2'));
inline constexpr GUID WMMEDIASUBTYPE_MP43 = GuidFromFourCC(MakeFourCC('M', 'P', '4', '3'));
inline constexpr GUID WMMEDIASUBTYPE_MP4S = GuidFromFourCC(MakeFourCC('M', 'P', '4', 'S'));

// Audio subtypes: the WAVE format tag in the first field.
inline constexpr GUID WMMEDIASUBTYPE_PCM = GuidFromFourCC(0x0001);
inline constexpr GUID WMMEDIASUBTYPE_IEEE_FLOAT = GuidFromFourCC(0x0003);
inline constexpr GUID WMMEDIASUBTYPE_WMSP1 = GuidFromFourCC(0x000A);
inline constexpr GUID WMMEDIASUBTYPE_WMSP2 = GuidFromFourCC(0x000B);
inline constexpr GUID WMMEDIASUBTYPE_MP3 = GuidFromFourCC(0x0055);
inline constexpr GUID WMMEDIASUBTYPE_ACELPnet = GuidFromFourCC(0x0130);
inline constexpr GUID WMMEDIASUBTYPE_WMAudioV2 = GuidFromFourCC(0x0161);
inline constexpr GUID WMMEDIASUBTYPE_WMAudioV7 = WMMEDIASUBTYPE_WMAudioV2;
inline constexpr GUID WMMEDIASUBTYPE_WMAudioV8 = WMMEDIASUBTYPE_WMAudioV2;
inline constexpr GUID WMMEDIASUBTYPE_WMAudioV9 = GuidFromFourCC(0x0162);
inline constexpr GUID WMMEDIASUBTYPE_WMAudio_Lossless = GuidFromFourCC(0x0163);
inline constexpr const GUID& MEDIASUBTYPE_PCM = WMMEDIASUBTYPE_PCM;
inline constexpr const GUID& MEDIASUBTYPE_IEEE_FLOAT = WMMEDIASUBTYPE_IEEE_FLOAT;
// SubFormat of a WAVEFORMATEXTENSIBLE.
inline constexpr const GUID& KSDATAFORMAT_SUBTYPE_PCM = WMMEDIASUBTYPE_PCM;
inline constexpr const GUID& KSDATAFORMAT_SUBTYPE_IEEE_FLOAT = WMMEDIASUBTYPE_IEEE_FLOAT;

// Sample properties (INSSBuffer3) and data unit extensions (IWMStreamConfig2).
inline constexpr GUID WM_SampleExtensionGUID_OutputCleanPoint{
    0xF72A3C6F, 0x6EB4, 0x4EBC, {0xB1, 0x92, 0x09, 0xAD, 0x97, 0x59, 0xE8, 0x28}};
inline constexpr GUID WM_SampleExtensionGUID_Timecode{
    0x399595EC, 0x8667, 0x4E2D, {0x8F, 0xDB, 0x98, 0x81, 0x4C, 0xE7, 0x6C, 0x1E}};
inline constexpr GUID WM_SampleExtensionGUID_ContentType{
    0xD590DC20, 0x07BC, 0x436C, {0x9C, 0xF7, 0xF3, 0xBB, 0xFB, 0xF1, 0xA4, 0xDC}};
inline constexpr GUID WM_SampleExtensionGUID_PixelAspectRatio{
    0x1B1EE554, 0xF9EA, 0x4BC8, {0x82, 0x1A, 0x37, 0x6B, 0x74, 0xE4, 0xC4, 0xB8}};
inline constexpr GUID WM_SampleExtensionGUID_SampleDuration{
    0xC6BD9450, 0x867F, 0x4907, {0x83, 0xA3, 0xC7, 0x79, 0x21, 0xB7, 0x33, 0xAD}};

// Mutual exclusion types.
inline constexpr GUID CLSID_WMMUTEX_Language{0xD6E22A00, 0x35DA, 0x11D1,
                                             {0x90, 0x34, 0x00, 0xA0, 0xC9, 0x03, 0x49, 0xBE}};
inline constexpr GUID CLSID_WMMUTEX_Bitrate{0xD6E22A01, 0x35DA, 0x11D1,
                                            {0x90, 0x34, 0x00, 0xA0, 0xC9, 0x03, 0x49, 0xBE}};
inline constexpr GUID CLSID_WMMUTEX_Presentation{0xD6E22A02, 0x35DA, 0x11D1,
                                                 {0x90, 0x34, 0x00, 0xA0, 0xC9, 0x03, 0x49, 0xBE}};
inline constexpr GUID CLSID_WMMUTEX_Unknown{0xD6E22A03, 0x35DA, 0x11D1,
                                            {0x90, 0x34, 0x00, 0xA0, 0xC9, 0x03, 0x49, 0xBE}};

// Interface ids. Most of the original interfaces share one family of ids
// that differ only in the first field.
constexpr IID WmIid96406(DWORD data1) noexcept {
    return IID{data1, 0x2B2B, 0x11D3, {0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61, 0x08, 0xFF}};
}
inline constexpr IID IID_INSSBuffer{0xE1CD3524, 0x03D7, 0x11D2,
                                    {0x9E, 0xED, 0x00, 0x60, 0x97, 0xD2, 0xD7, 0xCF}};
inline constexpr IID IID_INSSBuffer2{0x4F528693, 0x1035, 0x43FE,
                                     {0xB4, 0x28, 0x75, 0x75, 0x61, 0xAD, 0x3A, 0x68}};
inline constexpr IID IID_INSSBuffer3{0xC87CEAAF, 0x75BE, 0x4BC4,
                                     {0x84, 0xEB, 0xAC, 0x27, 0x98, 0x50, 0x76, 0x72}};
inline constexpr IID IID_IWMMediaProps = WmIid96406(0x96406BCE);
inline constexpr IID IID_IWMVideoMediaProps = WmIid96406(0x96406BCF);
inline constexpr IID IID_IWMWriter = WmIid96406(0x96406BD4);
inline constexpr IID IID_IWMInputMediaProps = WmIid96406(0x96406BD5);
inline constexpr IID IID_IWMOutputMediaProps = WmIid96406(0x96406BD7);
inline constexpr IID IID_IWMHeaderInfo = WmIid96406(0x96406BDA);
inline constexpr IID IID_IWMProfile = WmIid96406(0x96406BDB);
inline constexpr IID IID_IWMStreamConfig = WmIid96406(0x96406BDC);
inline constexpr IID IID_IWMStreamList = WmIid96406(0x96406BDD);
inline constexpr IID IID_IWMMutualExclusion = WmIid96406(0x96406BDE);
inline constexpr IID IID_IWMWriterAdvanced = WmIid96406(0x96406BE3);
inline constexpr IID IID_IWMWriterSink = WmIid96406(0x96406BE4);
inline constexpr IID IID_IWMWriterFileSink = WmIid96406(0x96406BE5);
inline constexpr IID IID_IWMStreamConfig2{0x7688D8CB, 0xFC0D, 0x43BD,
                                          {0x94, 0x59, 0x5A, 0x8D, 0xEC, 0x20, 0x0C, 0xFA}};
inline constexpr IID IID_IWMStreamConfig3{0xCB164104, 0x3AA9, 0x45A7,
                                          {0x9A, 0xC9, 0x4D, 0xAE, 0xE1, 0x31, 0xD6, 0xE1}};
inline constexpr IID IID_IWMProfile2{0x07E72D33, 0xD94E, 0x4BE7,
                                     {0x88, 0x43, 0x60, 0xAE, 0x5F, 0xF7, 0xE5, 0xF5}};
inline constexpr IID IID_IWMProfile3{0x00EF96CC, 0xA461, 0x4546,
                                     {0x8B, 0xCD, 0xC9, 0xA2, 0x8F, 0x0E, 0x06, 0xF5}};
inline constexpr IID IID_IWMProfileManager{0xD16679F2, 0x6CA0, 0x472D,
                                           {0x8D, 0x31, 0x2F, 0x5D, 0x55, 0xAE, 0xE1, 0x55}};
inline constexpr IID IID_IWMProfileManager2{0x7A924E51, 0x73C1, 0x494D,
                                            {0x80, 0x19, 0x23, 0xD3, 0x7E, 0xD9, 0xB8, 0x9A}};
inline constexpr IID IID_IWMCodecInfo{0xA970F41E, 0x34DE, 0x4A98,
                                      {0xB3, 0xBA, 0xE4, 0xB3, 0xCA, 0x75, 0x28, 0xF0}};
inline constexpr IID IID_IWMCodecInfo2{0xAA65E273, 0xB686, 0x4056,
                                       {0x91, 0xEC, 0xDD, 0x76, 0x8D, 0x4D, 0xF7, 0x10}};
inline constexpr IID IID_IWMCodecInfo3{0x7E51F487, 0x4D93, 0x4F98,
                                       {0x8A, 0xB4, 0x27, 0xD0, 0x56, 0x5A, 0xDC, 0x51}};
inline constexpr IID IID_IWMPropertyVault{0x72995A79, 0x5090, 0x42A4,
                                          {0x9C, 0x8C, 0xD9, 0xD0, 0xB6, 0xD3, 0x4B, 0xE5}};
inline constexpr IID IID_IWMHeaderInfo2{0x15CF9781, 0x454E, 0x482E,
                                        {0xB3, 0x93, 0x85, 0xFA, 0xE4, 0x87, 0xA8, 0x10}};
inline constexpr IID IID_IWMHeaderInfo3{0x15CC68E3, 0x27CC, 0x4ECD,
                                        {0xB2, 0x22, 0x3F, 0x5D, 0x02, 0xD8, 0x0B, 0xD5}};
inline constexpr IID IID_IWMSyncReader{0x9397F121, 0x7705, 0x4DC9,
                                       {0xB0, 0x49, 0x98, 0xB6, 0x98, 0x18, 0x84, 0x14}};
inline constexpr IID IID_IWMStatusCallback{0x6D7CDC70, 0x9888, 0x11D3,
                                           {0x8E, 0xDC, 0x00, 0xC0, 0x4F, 0x61, 0x09, 0xCF}};
inline constexpr IID IID_IWMRegisterCallback{0xCF4B1F99, 0x4DE2, 0x4E49,
                                             {0xA3, 0x63, 0x25, 0x27, 0x40, 0xD9, 0x9B, 0xC1}};
inline constexpr IID IID_IWMWriterAdvanced2{0x962DC1EC, 0xC046, 0x4DB8,
                                            {0x9C, 0xC7, 0x26, 0xCE, 0xAE, 0x50, 0x08, 0x17}};
inline constexpr IID IID_IWMWriterPreprocess{0xFC54A285, 0x38C4, 0x45B5,
                                             {0xAA, 0x23, 0x85, 0xB9, 0xF7, 0xCB, 0x42, 0x4B}};
