// The movie format's numbers: tag codes, action codes, filter ids, blend modes and
// fill-style types, as the file stores them. The reader, the writer and the tests all
// name them from here; nothing else spells these numbers.
#pragma once

#include <cstdint>

namespace velmora::swf {

// Tag codes of file versions 1 to 8, with the later ones a version-8 player meets
// in the wild (its scripts for another runtime, fonts and binary data).
enum class TagCode : std::uint16_t {
    End = 0,
    ShowFrame = 1,
    DefineShape = 2,
    PlaceObject = 4,
    RemoveObject = 5,
    DefineBits = 6,
    DefineButton = 7,
    JPEGTables = 8,
    SetBackgroundColor = 9,
    DefineFont = 10,
    DefineText = 11,
    DoAction = 12,
    DefineFontInfo = 13,
    DefineSound = 14,
    StartSound = 15,
    DefineButtonSound = 17,
    SoundStreamHead = 18,
    SoundStreamBlock = 19,
    DefineBitsLossless = 20,
    DefineBitsJPEG2 = 21,
    DefineShape2 = 22,
    DefineButtonCxform = 23,
    Protect = 24,
    PlaceObject2 = 26,
    RemoveObject2 = 28,
    DefineShape3 = 32,
    DefineText2 = 33,
    DefineButton2 = 34,
    DefineBitsJPEG3 = 35,
    DefineBitsLossless2 = 36,
    DefineEditText = 37,
    DefineSprite = 39,
    ProductInfo = 41,
    FrameLabel = 43,
    SoundStreamHead2 = 45,
    DefineMorphShape = 46,
    DefineFont2 = 48,
    ExportAssets = 56,
    ImportAssets = 57,
    EnableDebugger = 58,
    DoInitAction = 59,
    DefineVideoStream = 60,
    VideoFrame = 61,
    DefineFontInfo2 = 62,
    DebugId = 63,
    EnableDebugger2 = 64,
    ScriptLimits = 65,
    SetTabIndex = 66,
    FileAttributes = 69,
    PlaceObject3 = 70,
    ImportAssets2 = 71,
    DefineFontAlignZones = 73,
    CsmTextSettings = 74,
    DefineFont3 = 75,
    SymbolClass = 76,
    Metadata = 77,
    DefineScalingGrid = 78,
    DoAbc = 82,
    DefineShape4 = 83,
    DefineMorphShape2 = 84,
    DefineSceneAndFrameLabelData = 86,
    DefineBinaryData = 87,
    DefineFontName = 88,
    StartSound2 = 89,
    DefineBitsJPEG4 = 90,
    DefineFont4 = 91,
};

// Action codes of file versions 3 to 7. Codes from 0x80 up carry a 16-bit length
// and a body; the others are one byte.
enum class ActionCode : std::uint8_t {
    End = 0x00,
    // Version 3
    NextFrame = 0x04,
    PreviousFrame = 0x05,
    Play = 0x06,
    Stop = 0x07,
    ToggleQuality = 0x08,
    StopSounds = 0x09,
    // Version 4: the stack machine
    Add = 0x0A,
    Subtract = 0x0B,
    Multiply = 0x0C,
    Divide = 0x0D,
    Equals = 0x0E,
    Less = 0x0F,
    And = 0x10,
    Or = 0x11,
    Not = 0x12,
    StringEquals = 0x13,
    StringLength = 0x14,
    StringExtract = 0x15,
    Pop = 0x17,
    ToInteger = 0x18,
    GetVariable = 0x1C,
    SetVariable = 0x1D,
    SetTarget2 = 0x20,
    StringAdd = 0x21,
    GetProperty = 0x22,
    SetProperty = 0x23,
    CloneSprite = 0x24,
    RemoveSprite = 0x25,
    Trace = 0x26,
    StartDrag = 0x27,
    EndDrag = 0x28,
    StringLess = 0x29,
    // Version 7
    Throw = 0x2A,
    CastOp = 0x2B,
    ImplementsOp = 0x2C,
    // Version 4
    RandomNumber = 0x30,
    MbStringLength = 0x31,
    CharToAscii = 0x32,
    AsciiToChar = 0x33,
    GetTime = 0x34,
    MbStringExtract = 0x35,
    MbCharToAscii = 0x36,
    MbAsciiToChar = 0x37,
    // Version 5: objects, functions and registers
    Delete = 0x3A,
    Delete2 = 0x3B,
    DefineLocal = 0x3C,
    CallFunction = 0x3D,
    Return = 0x3E,
    Modulo = 0x3F,
    NewObject = 0x40,
    DefineLocal2 = 0x41,
    InitArray = 0x42,
    InitObject = 0x43,
    TypeOf = 0x44,
    TargetPath = 0x45,
    Enumerate = 0x46,
    Add2 = 0x47,
    Less2 = 0x48,
    Equals2 = 0x49,
    ToNumber = 0x4A,
    ToString = 0x4B,
    PushDuplicate = 0x4C,
    StackSwap = 0x4D,
    GetMember = 0x4E,
    SetMember = 0x4F,
    Increment = 0x50,
    Decrement = 0x51,
    CallMethod = 0x52,
    NewMethod = 0x53,
    // Version 6
    InstanceOf = 0x54,
    Enumerate2 = 0x55,
    // Version 5
    BitAnd = 0x60,
    BitOr = 0x61,
    BitXor = 0x62,
    BitLShift = 0x63,
    BitRShift = 0x64,
    BitURShift = 0x65,
    // Version 6
    StrictEquals = 0x66,
    Greater = 0x67,
    StringGreater = 0x68,
    // Version 7
    Extends = 0x69,
    // With a body: version 3
    GotoFrame = 0x81,
    GetUrl = 0x83,
    // Version 5
    StoreRegister = 0x87,
    ConstantPool = 0x88,
    // Version 3
    WaitForFrame = 0x8A,
    SetTarget = 0x8B,
    GotoLabel = 0x8C,
    // Version 4
    WaitForFrame2 = 0x8D,
    // Version 7
    DefineFunction2 = 0x8E,
    Try = 0x8F,
    // Version 5
    With = 0x94,
    // Version 4
    Push = 0x96,
    Jump = 0x99,
    GetUrl2 = 0x9A,
    // Version 5
    DefineFunction = 0x9B,
    // Version 4
    If = 0x9D,
    Call = 0x9E,
    GotoFrame2 = 0x9F,
};

// Actions from this code up have a length field and a body.
constexpr std::uint8_t kFirstActionWithBody = 0x80;

// The most frames a timeline may have. A fully loaded movie answers WaitForFrame
// for every 0-based frame up to this one, whatever its own length.
constexpr int kMaxFrameCount = 16000;

// Filter ids in a PlaceObject3 or button record filter list.
enum class FilterId : std::uint8_t {
    DropShadow = 0,
    Blur = 1,
    Glow = 2,
    Bevel = 3,
    GradientGlow = 4,
    Convolution = 5,
    ColorMatrix = 6,
    GradientBevel = 7,
};

// How an object is composited onto what lies below it, numbered as the file stores
// it (0 also means normal; values past HardLight are read as normal).
enum class BlendMode : std::uint8_t {
    Normal = 1,
    Layer,
    Multiply,
    Screen,
    Lighten,
    Darken,
    Difference,
    Add,
    Subtract,
    Invert,
    Alpha,
    Erase,
    Overlay,
    HardLight
};

// The type byte at the start of a FILLSTYLE.
enum class FillStyleType : std::uint8_t {
    Solid = 0x00,
    LinearGradient = 0x10,
    RadialGradient = 0x12,
    FocalRadialGradient = 0x13,
    RepeatingBitmap = 0x40,
    ClippedBitmap = 0x41,
    NonSmoothedRepeatingBitmap = 0x42,
    NonSmoothedClippedBitmap = 0x43,
};

// State transitions in a DefineButton2 condition action record (the low nine bits;
// the top seven hold a key code).
enum ButtonCondition : std::uint16_t {
    IdleToOverUp = 0x0001,
    OverUpToIdle = 0x0002,
    OverUpToOverDown = 0x0004,
    OverDownToOverUp = 0x0008, // released over the button: the click
    OverDownToOutDown = 0x0010,
    OutDownToOverDown = 0x0020,
    OutDownToIdle = 0x0040,
    IdleToOverDown = 0x0080,
    OverDownToIdle = 0x0100,
};

// Clip event flags of PlaceObject2/3 clip actions (the low 16 bits are those of
// SWF 5, stored in the same places).
enum ClipEvent : std::uint32_t {
    Load = 0x00000001,
    EnterFrame = 0x00000002,
    Unload = 0x00000004,
    MouseMove = 0x00000008,
    MouseDown = 0x00000010,
    MouseUp = 0x00000020,
    KeyDown = 0x00000040,
    KeyUp = 0x00000080,
    Data = 0x00000100,
    Initialize = 0x00000200,
    Press = 0x00000400,
    Release = 0x00000800,
    ReleaseOutside = 0x00001000,
    RollOver = 0x00002000,
    RollOut = 0x00004000,
    DragOver = 0x00008000,
    DragOut = 0x00010000,
    KeyPress = 0x00020000,
    Construct = 0x00040000,
};

// The key-press clip event: a key code byte follows the event flags.
constexpr std::uint32_t kClipEventKeyPress = ClipEvent::KeyPress;

constexpr auto raw(TagCode c)
{
    return static_cast<std::uint16_t>(c);
}
constexpr auto raw(ActionCode c)
{
    return static_cast<std::uint8_t>(c);
}
constexpr auto raw(FilterId c)
{
    return static_cast<std::uint8_t>(c);
}
constexpr auto raw(BlendMode c)
{
    return static_cast<std::uint8_t>(c);
}
constexpr auto raw(FillStyleType c)
{
    return static_cast<std::uint8_t>(c);
}

} // namespace velmora::swf
