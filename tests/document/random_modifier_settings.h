#pragma once
// Random parameters for a modifier, set through what its settings window calls: the rows of
// its parameter table, or the modifier's own setters.
#include "modifiers/uModifierAdvanced.h"
#include "modifiers/uModifierAnimatedUV.h"
#include "modifiers/uModifierArray2D.h"
#include "modifiers/uModifierArrayCircular.h"
#include "modifiers/uModifierBend.h"
#include "modifiers/uModifierInflate.h"
#include "modifiers/uModifierNoise.h"
#include "modifiers/uModifierParams.h"
#include "modifiers/uModifierPush.h"
#include "modifiers/uModifierReverseNormals.h"
#include "modifiers/uModifierRipple.h"
#include "modifiers/uModifierSkew.h"
#include "modifiers/uModifierSqueeze.h"
#include "modifiers/uModifierStretch.h"
#include "modifiers/uModifierTaper.h"
#include "modifiers/uModifierTwist.h"
#include "modifiers/uModifierUpdateUVs.h"
#include "modifiers/uModifierWave.h"
#include "modifiers/uModifiers.h"
#include "tests/document/random_values.h"

class TRandomModifierSettings {
public:
    explicit TRandomModifierSettings(TRandomValues& Values) : R(Values) {}

    // False for a type with neither a table nor setters known here.
    bool SetParameters(TModifier& Modifier)
    {
        if (const TModifierParamTable* table = Modifier.GetParamTable()) {
            for (const TModifierParam& p : table->Params) {
                if (R.Chance(0.4))
                    continue;
                const double v = p.Get(Modifier);
                switch (p.Kind) {
                case TParamKind::Boolean:
                    p.Set(Modifier, R.Chance(0.5));
                    break;
                case TParamKind::Choice:
                    p.Set(Modifier, static_cast<double>(R.Pick(p.Items.size())));
                    break;
                case TParamKind::Integer:
                    // Near the default: counts and levels stay small.
                    p.Set(Modifier, v + R.Int(-2, 2));
                    break;
                case TParamKind::Float:
                    p.Set(Modifier, R.Chance(0.3)   ? -0.0
                                    : R.Chance(0.3) ? R.Typed(-1000, 1000)
                                                    : v + R.Real(-1, 1));
                    break;
                }
            }
            return true;
        }
        return SetOwnParameters(Modifier);
    }

private:
    void SetAxisFrame(TAxisDeformerModifier& M)
    {
        M.SetAxis(R.Int(0, 2));
        M.SetLimitsEnabled(R.Chance(0.5));
        M.SetLowerLimit(R.Real(0, 0.5f));
        M.SetUpperLimit(R.Real(0.5f, 1));
    }
    void SetDirected(TDirectedAxisDeformerModifier& M)
    {
        SetAxisFrame(M);
        M.SetDirectionDeg(R.Typed(-180, 180));
        M.SetPivot(R.Int(0, 2));
    }
    void SetWaveShape(TWaveShapeModifier& M)
    {
        M.SetAmplitude(R.Typed(-1, 1));
        M.SetWavelength(R.Real(0.1f, 3));
        M.SetPhaseDeg(R.Typed(-360, 360));
        M.SetDecay(R.Real(0, 2));
        M.SetAxis(R.Int(0, 2));
    }

    // The types whose settings windows call the modifier's own setters.
    bool SetOwnParameters(TModifier& Modifier)
    {
        if (auto* m = dynamic_cast<TTwistModifier*>(&Modifier)) {
            m->SetAngle(R.Typed(-360, 360));
        } else if (auto* m = dynamic_cast<TNoiseModifier*>(&Modifier)) {
            m->SetStrength(R.Typed(0, 2));
            m->SetScale(R.Real(0.1f, 4));
        } else if (auto* m = dynamic_cast<TTaperModifier*>(&Modifier)) {
            m->SetAmount(R.Typed(-2, 2));
        } else if (auto* m = dynamic_cast<TInflateModifier*>(&Modifier)) {
            m->SetWidth(R.Typed(-1, 1));
        } else if (auto* m = dynamic_cast<TBendModifier*>(&Modifier)) {
            m->SetAngleDeg(R.Typed(-360, 360));
            SetDirected(*m);
        } else if (auto* m = dynamic_cast<TSkewModifier*>(&Modifier)) {
            m->SetAmount(R.Typed(-2, 2));
            SetDirected(*m);
        } else if (auto* m = dynamic_cast<TStretchModifier*>(&Modifier)) {
            m->SetAmount(R.Typed(-1, 1));
            m->SetAmplify(R.Typed(-1, 1));
            SetAxisFrame(*m);
        } else if (auto* m = dynamic_cast<TSqueezeModifier*>(&Modifier)) {
            m->SetAxialAmount(R.Typed(-1, 1));
            m->SetRadialAmount(R.Typed(-1, 1));
            SetAxisFrame(*m);
        } else if (auto* m = dynamic_cast<TWaveModifier*>(&Modifier)) {
            m->SetDirectionDeg(R.Typed(-180, 180));
            SetWaveShape(*m);
        } else if (auto* m = dynamic_cast<TRippleModifier*>(&Modifier)) {
            m->SetCenterU(R.Real(-1, 1));
            m->SetCenterV(R.Real(-1, 1));
            SetWaveShape(*m);
        } else if (auto* m = dynamic_cast<TPushModifier*>(&Modifier)) {
            m->SetAmount(R.Typed(-1, 1));
        } else if (auto* m = dynamic_cast<TReverseNormalsModifier*>(&Modifier)) {
            m->SetReverseWinding(R.Chance(0.5));
            m->SetReverseNormals(R.Chance(0.5));
        } else if (auto* m = dynamic_cast<TUnscaleUVsModifier*>(&Modifier)) {
            m->SetObjectScale(R.Real(0.25f, 4), R.Real(0.25f, 4), R.Real(0.25f, 4));
        } else if (auto* m = dynamic_cast<TAnimatedUVModifier*>(&Modifier)) {
            m->SetAxis(R.Int(0, 1));
            m->SetOffset(R.Typed(-1, 1));
        } else if (auto* m = dynamic_cast<TArray2DModifier*>(&Modifier)) {
            m->SetCountX(R.Int(1, 3));
            m->SetCountY(R.Int(1, 3));
            m->SetOffsetX(R.Typed(-3, 3));
            m->SetOffsetY(R.Typed(-3, 3));
            m->SetPlane(R.Int(0, 2));
            m->SetCentered(R.Chance(0.5));
            m->SetIncludeOriginal(R.Chance(0.5));
            m->SetStepY(R.Typed(-1, 1));
        } else if (auto* m = dynamic_cast<TArrayCircularModifier*>(&Modifier)) {
            m->SetCount(R.Int(1, 5));
            m->SetRadius(R.Real(0.5f, 4));
            m->SetStartAngle(R.Typed(-180, 180));
            m->SetTotalAngle(R.Typed(0, 360));
            m->SetCloseCircle(R.Chance(0.5));
            m->SetAxis(R.Int(0, 2));
            m->SetOrientation(R.Int(0, 2));
            m->SetIncludeOriginal(R.Chance(0.5));
            m->SetCenterX(R.Typed(-2, 2));
            m->SetCenterY(R.Typed(-2, 2));
            m->SetCenterZ(R.Typed(-2, 2));
            m->SetStepY(R.Typed(-1, 1));
        } else {
            return false;
        }
        return true;
    }

    TRandomValues& R;
};
