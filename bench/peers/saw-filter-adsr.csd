; The peer of bench/peers/saw-filter-adsr.txt: a band-limited saw through a 12 dB state-variable
; low-pass at 2000 Hz (Q 1, damping 1), shaped by an ADSR of 0.01, 0.2, 0.7, 0.3 s.
; Notes come from the MIDI file given with -F; the score only sets the length (--omacro:LENGTH=).
<CsoundSynthesizer>
<CsInstruments>
sr = 44100
ksmps = 1
nchnls = 2
0dbfs = 1
massign 0, 1

instr 1
  icps cpsmidi
  aenv madsr 0.01, 0.2, 0.7, 0.3
  asaw vco2 0.1, icps
  alow, ahigh, aband svfilter asaw, 2000, 1
  aout = alow * aenv
  outs aout, aout
endin
</CsInstruments>
<CsScore>
f0 $LENGTH
</CsScore>
</CsoundSynthesizer>
