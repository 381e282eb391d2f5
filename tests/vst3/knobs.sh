# Sourced by the VST 3 host checks: one setting that moves every main control, as knob positions, and the
# arguments that give it to a VST 3 test host (normalised, by parameter ID) and to the render tool (@).
knobs="0=0.4 1=0.8 3=0.3 4=0.2 5=0.35 6=1 7=0.3 8=0.6 9=0.45 10=0.8"
names=("Side HP" "Side LP" "Sd Listen" "Drive" "Attack" "Release" "Hilbert" "Threshold" "Ratio" "Out Gain" "Mix")
host_args=()
tool_args=()
for pair in $knobs; do
    host_args+=(--set "$pair")
    tool_args+=(--set "${names[${pair%%=*}]}=@${pair#*=}")
done
