; Rainbow Drift: the sample game that comes with the launcher, a 4 KiB Atari 2600
; cartridge. Bands of colour drift up the screen; the joystick steers a little ship over
; them, and holding the button turns the drift around. Assembled with xa65:
;     xa -o rainbow.bin rainbow.s
; NTSC timing: 3 lines of vertical sync, 37 of blanking, 192 shown, 30 of overscan.

; The television chip (TIA), write side
VSYNC   = $00
VBLANK  = $01
WSYNC   = $02
NUSIZ0  = $04
COLUP0  = $06
COLUBK  = $09
RESP0   = $10
GRP0    = $1B
HMP0    = $20
HMOVE   = $2A
HMCLR   = $2B
; The television chip, read side
INPT4   = $0C           ; bit 7 clear while the left joystick's button is held
; The I/O and timer chip (RIOT)
SWCHA   = $0280         ; left joystick in bits 7..4: right, left, down, up (0 = pushed)
INTIM   = $0284
TIM64T  = $0296

; Zero-page RAM
phase   = $80           ; colour of the top line, moves by one each frame
shipX   = $81           ; 0..144 colour clocks from the left edge
shipY   = $82           ; line count from the bottom where the ship's bottom row is
frame   = $83

SHIP_H  = 8             ; rows of the ship
LINES   = 192

        * = $F000

Reset   sei
        cld
        ldx #0
        txa
Clear   sta 0,x         ; every chip register and all of RAM to zero
        inx
        bne Clear
        dex
        txs
        lda #76
        sta shipX
        lda #92
        sta shipY
        lda #5          ; a ship of double width
        sta NUSIZ0

Frame   lda #2          ; vertical sync: three lines with the beam off
        sta VBLANK
        sta VSYNC
        sta WSYNC
        sta WSYNC
        sta WSYNC
        lda #0
        sta VSYNC
        lda #43         ; 37 lines of 76 cycles, in 64-cycle ticks
        sta TIM64T

        inc frame
        jsr Steer
        lda INPT4       ; the button held: drift downwards instead
        bmi Up
        dec phase
        jmp Placed
Up      inc phase
Placed  lda frame       ; the ship shimmers through the hues
        ora #$0E
        sta COLUP0

        lda shipX       ; horizontal place: coarse by the moment RESP0 is hit, fine by HMP0
        sta WSYNC
        sec
Coarse  sbc #15
        bcs Coarse
        eor #7
        asl
        asl
        asl
        asl
        sta HMP0
        sta RESP0
        sta WSYNC
        sta HMOVE

WaitTop lda INTIM
        bne WaitTop
        sta WSYNC
        sta HMCLR
        sta VBLANK      ; A is 0: the beam on

        ldy #LINES      ; the shown lines, counted down to 1
        ldx #0          ; the ship's row for the next line
Line    sta WSYNC
        stx GRP0        ; first thing on the line, so the ship is never sheared
        tya
        clc
        adc phase
        sta COLUBK
        tya
        sec
        sbc shipY
        cmp #SHIP_H*2
        bcs NoShip
        lsr             ; each row of the ship on two lines
        tax
        lda Ship,x
        tax
        jmp Next
NoShip  ldx #0
Next    dey
        bne Line

        sta WSYNC
        lda #2
        sta VBLANK
        lda #0
        sta GRP0
        sta COLUBK
        lda #35         ; 30 lines of overscan
        sta TIM64T
WaitEnd lda INTIM
        bne WaitEnd
        jmp Frame

; Moves the ship by the joystick, one step a frame, inside the screen.
Steer   lda SWCHA
        asl
        bcs NotRight
        ldx shipX
        cpx #160-16     ; the double-width ship whole on the screen
        bcs NotRight
        inc shipX
NotRight asl
        bcs NotLeft
        ldx shipX
        beq NotLeft
        dec shipX
NotLeft asl
        bcs NotDown
        ldx shipY
        cpx #2
        bcc NotDown
        dec shipY
NotDown asl
        bcs NotUp
        ldx shipY
        cpx #LINES-SHIP_H*2
        bcs NotUp
        inc shipY
NotUp   rts

; The ship, bottom row first (the lines are counted from the bottom).
Ship    .byte %10000001
        .byte %11000011
        .byte %11100111
        .byte %01111110
        .byte %00111100
        .byte %00111100
        .byte %00011000
        .byte %00011000

        .dsb $FFFA-*, $FF
        .word Reset     ; NMI, never raised on this machine
        .word Reset     ; reset
        .word Reset     ; IRQ and BRK
