// The one list of run-time errors: number, name and standard message. Every
// error number the library raises, traps or reports comes from here; the
// named constants (err::kFileNotFound ...) and standardMessage are generated
// from it, so a number and its message cannot drift apart.
#pragma once

// X(number, name, message)
#define ORV_ERROR_LIST(X)                                                                   \
    X(3, ReturnWithoutGoSub, u"Return without GoSub")                                       \
    X(5, InvalidArgument, u"Invalid procedure call or argument")                            \
    X(6, Overflow, u"Overflow")                                                             \
    X(7, OutOfMemory, u"Out of memory")                                                     \
    X(9, SubscriptOutOfRange, u"Subscript out of range")                                    \
    X(10, ArrayLocked, u"This array is fixed or temporarily locked")                        \
    X(11, DivisionByZero, u"Division by zero")                                              \
    X(13, TypeMismatch, u"Type mismatch")                                                   \
    X(14, OutOfStringSpace, u"Out of string space")                                         \
    X(28, OutOfStackSpace, u"Out of stack space")                                           \
    X(48, DllLoadFailed, u"Error in loading DLL")                                           \
    X(51, Internal, u"Internal error")                                                      \
    X(52, BadFileNameOrNumber, u"Bad file name or number")                                  \
    X(53, FileNotFound, u"File not found")                                                  \
    X(54, BadFileMode, u"Bad file mode")                                                    \
    X(55, FileAlreadyOpen, u"File already open")                                            \
    X(57, DeviceIo, u"Device I/O error")                                                    \
    X(58, FileAlreadyExists, u"File already exists")                                        \
    X(59, BadRecordLength, u"Bad record length")                                            \
    X(61, DiskFull, u"Disk full")                                                           \
    X(62, InputPastEnd, u"Input past end of file")                                          \
    X(63, BadRecordNumber, u"Bad record number")                                            \
    X(67, TooManyFiles, u"Too many files")                                                  \
    X(68, DeviceUnavailable, u"Device unavailable")                                         \
    X(70, PermissionDenied, u"Permission denied")                                           \
    X(71, DiskNotReady, u"Disk not ready")                                                  \
    X(74, RenameAcrossDrives, u"Can't rename with different drive")                         \
    X(75, PathFileAccess, u"Path/File access error")                                        \
    X(76, PathNotFound, u"Path not found")                                                  \
    X(91, ObjectNotSet, u"Object variable or With block variable not set")                  \
    X(94, InvalidUseOfNull, u"Invalid use of Null")                                         \
    X(429, CannotCreateObject, u"ActiveX component can't create object")                    \
    X(438, MemberNotSupported, u"Object doesn't support this property or method")           \
    X(448, NamedArgumentNotFound, u"Named argument not found")                              \
    X(449, ArgumentNotOptional, u"Argument not optional")                                   \
    X(450, WrongArgumentCount, u"Wrong number of arguments or invalid property assignment") \
    X(453, DllEntryPointNotFound, u"Specified DLL function not found")                      \
    X(482, PrinterError, u"Printer error")
