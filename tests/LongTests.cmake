# Read by ctest after the test programs' test lists: the tests that take many seconds carry a
# cost, so that ctest starts them first and runs the short ones beside them, not after them.
# A name that a build does not have (a program it does not build) is passed over.
set_tests_properties(
    SavedState.ChunksOfAnyLengthAndContentAreSafe
    LoadWhilePlaying.AThousandLoadsRestoresAndParameterChangesWhileRendering
    ReferencePlayer.ImportedPresetsSoundLikeFluidSynth
    ImportedInstrument.TimGM6mbImportsWholeAndEveryPresetCompilesClean
    ProgramEquivalence.EveryProgramRendersTheSameOnBothPaths
    Inputs/GeneratedInputTest.OnlyMessagesAndDroppedLines/ThousandsOfLabels
    PROPERTIES COST 30)
